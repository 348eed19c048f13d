#include "programme/programmemodel.h"

#include <QBrush>
#include <QFont>

namespace {

// A warm tint that stays readable under the selection colour of any style.
const QColor kCurrentTalkBackground(255, 236, 179);
const QString kMissingMark = QStringLiteral(" ⚠");

bool isOffText(const QString &text)
{
    const QString trimmed = text.trimmed();
    return trimmed.isEmpty() || trimmed == u"—" || trimmed == u"-" ||
           trimmed.compare(QLatin1StringView("off"), Qt::CaseInsensitive) == 0;
}

} // namespace

ProgrammeModel::ProgrammeModel(ProgrammeDocument &document, QObject *parent)
    : QAbstractTableModel(parent), document_(document)
{
    connect(&document_, &ProgrammeDocument::programmeAboutToBeReplaced, this,
            &ProgrammeModel::beginResetModel);
    connect(&document_, &ProgrammeDocument::programmeReplaced, this, [this] {
        takeProgramme();
        endResetModel();
        errorString_.clear();
        emit currentTalkChanged(current_);
    });
    takeProgramme();
}

void ProgrammeModel::takeProgramme()
{
    missing_.clear();
    for (qsizetype i = 0; i < programme().talks.size(); ++i)
        missing_ << missingSoundFiles(programme(), static_cast<int>(i));
    current_ = hasProgramme() ? 1 : 0;
}

int ProgrammeModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(programme().talks.size());
}

int ProgrammeModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString ProgrammeModel::bellText(const BellEntry &bell) const
{
    switch (bell.state) {
    case BellEntry::State::NotGiven:
        return {};
    case BellEntry::State::Off:
        return QStringLiteral("—");
    case BellEntry::State::On:
        return minutesSeconds(bell.at);
    }
    return {};
}

QVariant ProgrammeModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const int row = index.row();
    const ProgrammeTalk &talk = programme().talks.at(row);
    const QStringList &missing = missing_.at(row);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        switch (index.column()) {
        case TitleColumn:
            return talk.title;
        case SpeakerColumn:
            return talk.speaker;
        case AffiliationColumn:
            return talk.affiliation;
        case TimeColumn:
            return minutesSeconds(talk.seconds);
        default:
            return bellText(talk.bells[static_cast<std::size_t>(index.column() - Bell1Column)]);
        }
    case Qt::TextAlignmentRole:
        if (index.column() >= TimeColumn)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::BackgroundRole:
        return row + 1 == current_ ? QVariant(QBrush(kCurrentTalkBackground)) : QVariant();
    case Qt::FontRole:
        if (row + 1 == current_) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::ToolTipRole:
        if (missing.isEmpty())
            return {};
        return QStringLiteral("音源ファイルが見つかりません（鳴らすときは内蔵のベルになります）：\n") +
               missing.join(u'\n');
    case MissingSoundRole:
        return missing;
    default:
        return {};
    }
}

QVariant ProgrammeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    // A talk's number is its row's header, not a column: it is the position, so it changes for every
    // row after an insertion, which no cell of a row may do.
    if (orientation == Qt::Vertical && section >= 0 && section < rowCount()) {
        const bool missing = !missing_.at(section).isEmpty();
        switch (role) {
        case Qt::DisplayRole:
            return QString::number(section + 1) + (missing ? kMissingMark : QString());
        case Qt::ToolTipRole:
            return missing ? data(index(section, TitleColumn), role) : QVariant();
        case Qt::FontRole:
            return data(index(section, TitleColumn), role);
        default:
            break;
        }
    }
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const std::array<QString, ColumnCount> headers{
        QStringLiteral("演題"),  QStringLiteral("発表者"), QStringLiteral("所属"), QStringLiteral("時間"),
        QStringLiteral("予鈴1"), QStringLiteral("予鈴2"),  QStringLiteral("予鈴3")};
    return headers[static_cast<std::size_t>(section)];
}

Qt::ItemFlags ProgrammeModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid())
        flags |= Qt::ItemIsEditable;
    return flags;
}

void ProgrammeModel::renumberFrom(int row)
{
    // The number column is the position: every row from here on shows another number.
    if (row < rowCount())
        emit headerDataChanged(Qt::Vertical, row, rowCount() - 1);
}

bool ProgrammeModel::refuse(const QString &reason)
{
    errorString_ = reason;
    emit editRefused(reason);
    return false;
}

bool ProgrammeModel::edited()
{
    errorString_.clear();
    return true;
}

bool ProgrammeModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return false;
    }
    const QString text = value.toString();
    // The view hands back an unchanged cell too: "—" or blank must not turn into something else.
    if (text == data(index, Qt::EditRole).toString())
        return true;
    const int row = index.row();
    ProgrammeTalk talk = programme().talks.at(row);
    const QString place = fieldcheck::talkPlace(row + 1);
    QModelIndex first = index;
    QModelIndex last = index;
    switch (index.column()) {
    case TitleColumn:
        if (const Result<> checked = fieldcheck::title(text, place); !checked)
            return refuse(checked.error());
        talk.title = text;
        break;
    case SpeakerColumn:
        if (const Result<> checked = fieldcheck::speaker(text, place); !checked)
            return refuse(checked.error());
        talk.speaker = text;
        break;
    case AffiliationColumn:
        if (const Result<> checked = fieldcheck::affiliation(text, place); !checked)
            return refuse(checked.error());
        talk.affiliation = text;
        break;
    case TimeColumn: {
        const Result<int> seconds = fieldcheck::talkTime(text, place);
        if (!seconds)
            return refuse(seconds.error());
        talk.seconds = *seconds;
        break;
    }
    default: {
        const int bell = index.column() - Bell1Column;
        // A talk that took all its bells from the defaults keeps them when one of them changes:
        // a bell list given in the file leaves the bells it does not give off.
        const bool allFromDefaults =
            std::all_of(talk.bells.cbegin(), talk.bells.cend(),
                        [](const BellEntry &b) { return b.state == BellEntry::State::NotGiven; });
        if (allFromDefaults) {
            talk.bells = programme().defaultBells;
            first = index.siblingAtColumn(Bell1Column);
            last = index.siblingAtColumn(Bell3Column);
        }
        BellEntry &entry = talk.bells[static_cast<std::size_t>(bell)];
        if (isOffText(text)) {
            entry = BellEntry{};
            entry.state = BellEntry::State::Off;
        } else {
            const Result<int> at = fieldcheck::bellTime(text, place, bell);
            if (!at)
                return refuse(at.error());
            entry.at = *at;
            entry.state = BellEntry::State::On;
        }
        break;
    }
    }
    document_.replaceTalk(row, talk);
    emit dataChanged(first, last);
    return edited();
}

bool ProgrammeModel::removeRows(int row, int count, const QModelIndex &parent)
{
    const int rows = rowCount();
    if (parent.isValid() || count < 1 || row < 0 || row + count > rows)
        return false;
    if (count == rows)
        return refuse(QStringLiteral("発表プログラムには発表が 1 件は要ります。"));
    beginRemoveRows({}, row, row + count - 1);
    missing_.remove(row, count);
    document_.removeTalks(row, count);
    endRemoveRows();
    renumberFrom(row);
    // A removed current talk hands over to the talk that takes its place.
    if (current_ > row + count)
        setCurrent(current_ - count);
    else if (current_ > row)
        setCurrent(std::min(row + 1, rowCount()));
    return edited();
}

bool ProgrammeModel::moveRows(const QModelIndex &sourceParent, int sourceRow, int count,
                              const QModelIndex &destinationParent, int destinationChild)
{
    const int rows = rowCount();
    if (sourceParent.isValid() || destinationParent.isValid() || count < 1 || sourceRow < 0 ||
        sourceRow + count > rows || destinationChild < 0 || destinationChild > rows ||
        (destinationChild >= sourceRow && destinationChild <= sourceRow + count)) {
        return false;
    }
    if (!beginMoveRows({}, sourceRow, sourceRow + count - 1, {}, destinationChild))
        return false;
    const bool down = destinationChild > sourceRow;
    // Where a row before the move is after it.
    const auto moved = [&](int r) {
        if (r >= sourceRow && r < sourceRow + count)
            return down ? destinationChild - count + (r - sourceRow) : destinationChild + (r - sourceRow);
        if (down && r >= sourceRow + count && r < destinationChild)
            return r - count;
        if (!down && r >= destinationChild && r < sourceRow)
            return r + count;
        return r;
    };
    for (int i = 0; i < count; ++i) {
        const int from = down ? sourceRow : sourceRow + i;
        const int to = down ? destinationChild - 1 : destinationChild + i;
        missing_.move(from, to);
        document_.moveTalk(from, to);
    }
    endMoveRows();
    renumberFrom(std::min(sourceRow, destinationChild));
    if (current_ > 0)
        setCurrent(moved(current_ - 1) + 1);
    return edited();
}

bool ProgrammeModel::setCurrentTalk(int number)
{
    if (number < (hasProgramme() ? 1 : 0) || number > rowCount())
        return false;
    setCurrent(number);
    return true;
}

void ProgrammeModel::setCurrent(int number)
{
    const int before = current_;
    current_ = number;
    for (const int changed : {before, number}) {
        if (changed > 0 && changed <= rowCount()) {
            emit dataChanged(index(changed - 1, 0), index(changed - 1, ColumnCount - 1),
                             {Qt::BackgroundRole, Qt::FontRole});
            emit headerDataChanged(Qt::Vertical, changed - 1, changed - 1);
        }
    }
    emit currentTalkChanged(number);
}

bool ProgrammeModel::insertTalk(int row, const ProgrammeTalk &talk)
{
    if (row < 0 || row > rowCount())
        return false;
    if (rowCount() >= kMostTalks)
        return refuse(QStringLiteral("発表は %1 件までです。").arg(kMostTalks));
    if (const Result<> checked = fieldcheck::talk(talk, fieldcheck::talkPlace(row + 1)); !checked)
        return refuse(checked.error());
    beginInsertRows({}, row, row);
    document_.insertTalk(row, talk);
    missing_.insert(row, missingSoundFiles(programme(), row));
    endInsertRows();
    renumberFrom(row + 1);
    // The first talk of a new programme is the one in the window.
    if (current_ == 0)
        setCurrent(1);
    else if (current_ > row)
        setCurrent(current_ + 1);
    return edited();
}

void ProgrammeModel::refreshSoundFiles()
{
    for (qsizetype i = 0; i < programme().talks.size(); ++i)
        missing_[i] = missingSoundFiles(programme(), static_cast<int>(i));
    if (hasProgramme()) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
        emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
    }
}
