#include "overview/overviewwindow.h"

#include "overview/roomfeed.h"
#include "programme/session.h"
#include "remote/remotewindow.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kTileWidth = 360;

QLabel *label(QWidget *parent, int points = 0, bool bold = false)
{
    auto *made = new QLabel(parent);
    QFont font = made->font();
    if (points > 0)
        font.setPointSize(points);
    font.setBold(bold);
    made->setFont(font);
    made->setTextFormat(Qt::PlainText); // every word on a tile comes from the network
    return made;
}

// A room's refusal, for an organiser: what it means in a word, and the room's own reason after it.
QString refusalInWords(const CommandVerdict &verdict)
{
    QString meaning;
    switch (verdict.status) {
    case 409:
        meaning = QStringLiteral("今はできません");
        break;
    case 403:
    case 404:
        meaning = QStringLiteral("この会場には送れません");
        break;
    case 503:
        meaning = QStringLiteral("会場が応答しません");
        break;
    default:
        meaning = QStringLiteral("できませんでした");
        break;
    }
    return QStringLiteral("%1（%2）").arg(meaning, QString::fromUtf8(verdict.reason));
}

} // namespace

OverviewWindow::OverviewWindow(OverviewModel &model, Act act, QWidget *parent)
    : QWidget(parent), model_(model), act_(std::move(act))
{
    setObjectName(QStringLiteral("Overview"));
    setWindowTitle(QStringLiteral("Podium Watch — 会場一覧"));
    auto *layout = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    auto *heading = label(this, 18, true);
    heading->setText(QStringLiteral("会場一覧"));
    summary_ = label(this, 12);
    summary_->setObjectName(QStringLiteral("Overview_Summary"));
    order_ = new QPushButton(this);
    order_->setObjectName(QStringLiteral("Overview_Order"));
    top->addWidget(heading);
    top->addSpacing(16);
    top->addWidget(summary_, 1);
    top->addWidget(order_);
    layout->addLayout(top);
    auto *served = new QHBoxLayout;
    addresses_ = label(this);
    addresses_->setObjectName(QStringLiteral("Overview_Addresses"));
    addresses_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    addresses_->hide();
    viewCode_ = label(this);
    viewCode_->setObjectName(QStringLiteral("Overview_ViewQR"));
    viewCode_->setToolTip(QStringLiteral("一覧のページ"));
    controlCode_ = label(this);
    controlCode_->setObjectName(QStringLiteral("Overview_ControlQR"));
    controlCode_->setToolTip(QStringLiteral("操作のページ"));
    viewCode_->hide();
    controlCode_->hide();
    served->addWidget(addresses_, 1);
    served->addWidget(viewCode_);
    served->addWidget(controlCode_);
    layout->addLayout(served);

    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    auto *inside = new QWidget(scroll);
    auto *column = new QVBoxLayout(inside);
    grid_ = new QGridLayout;
    grid_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    column->addLayout(grid_);
    column->addStretch(1); // the rows keep their height; the room below is left empty
    scroll->setWidget(inside);
    layout->addWidget(scroll, 1);

    connect(order_, &QPushButton::clicked, this, [this] {
        model_.setOrder(model_.order() == OverviewModel::Order::Name ? OverviewModel::Order::Lateness
                                                                     : OverviewModel::Order::Name);
    });
    connect(&model_, &OverviewModel::changed, this, &OverviewWindow::refresh);
    resize(4 * kTileWidth + 80, 760);
    refresh();
}

void OverviewWindow::showAddresses(const QString &view, const QString &control)
{
    addresses_->setText(QStringLiteral("一覧のページ: %1\n操作のページ: %2").arg(view, control));
    addresses_->show();
    // For the organisers' phones, as a room's window of addresses shows its own.
    const auto code = [](QLabel *shown, const QString &url) {
        const QImage image = RemoteWindow::qrCode(url);
        if (!image.isNull())
            shown->setPixmap(QPixmap::fromImage(
                image.scaled(image.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
        shown->setVisible(!image.isNull());
    };
    code(viewCode_, view);
    code(controlCode_, control);
}

void OverviewWindow::refresh()
{
    const QList<overviewchannel::RoomChange> rooms = model_.rooms();
    QStringList order;
    for (const overviewchannel::RoomChange &room : rooms) {
        RoomTile *&tile = tiles_[room.key];
        if (!tile)
            tile = new RoomTile(act_, grid_->parentWidget());
        tile->show(room);
        order.append(room.key);
    }
    for (auto it = tiles_.begin(); it != tiles_.end();) {
        if (order.contains(it.key())) {
            ++it;
            continue;
        }
        (*it)->deleteLater();
        it = tiles_.erase(it);
    }
    if (order != shownOrder_ || columns() != shownColumns_)
        relayout(order);
    const int offline = model_.offlineCount();
    summary_->setText(offline > 0 ? QStringLiteral("%1会場（オフライン %2）").arg(rooms.size()).arg(offline)
                                  : QStringLiteral("%1会場").arg(rooms.size()));
    order_->setText(model_.order() == OverviewModel::Order::Name ? QStringLiteral("遅れている順に並べる")
                                                                 : QStringLiteral("会場名の順に並べる"));
}

int OverviewWindow::columns() const
{
    return std::max(1, (width() - 40) / (kTileWidth + 12));
}

void OverviewWindow::relayout(const QStringList &order)
{
    shownOrder_ = order;
    shownColumns_ = columns();
    for (RoomTile *tile : std::as_const(tiles_))
        grid_->removeWidget(tile);
    for (int i = 0; i < order.size(); ++i)
        grid_->addWidget(tiles_.value(order[i]), i / shownColumns_, i % shownColumns_);
}

void OverviewWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (columns() != shownColumns_)
        relayout(shownOrder_);
}

RoomTile::RoomTile(OverviewWindow::Act act, QWidget *parent) : QFrame(parent), act_(std::move(act))
{
    setFrameShape(QFrame::StyledPanel);
    setFixedWidth(kTileWidth);
    auto *layout = new QVBoxLayout(this);
    auto *head = new QHBoxLayout;
    name_ = label(this, 15, true);
    talk_ = label(this, 11);
    head->addWidget(name_, 1);
    head->addWidget(talk_);
    layout->addLayout(head);
    title_ = label(this, 11, true);
    speaker_ = label(this, 10);
    time_ = label(this, 40, true);
    time_->setAlignment(Qt::AlignCenter);
    time_->setAutoFillBackground(true);
    time_->setMinimumHeight(80);
    auto *words = new QHBoxLayout;
    state_ = label(this, 12, true);
    plan_ = label(this, 12);
    plan_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    words->addWidget(state_, 1);
    words->addWidget(plan_);
    message_ = label(this, 11);
    message_->setWordWrap(true);
    // Two lines kept whether or not there is a message, so the buttons stay where the hand is.
    message_->setMinimumHeight(2 * message_->fontMetrics().height());
    message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    for (QWidget *widget :
         {static_cast<QWidget *>(title_), static_cast<QWidget *>(speaker_), static_cast<QWidget *>(time_)})
        layout->addWidget(widget);
    layout->addLayout(words);
    layout->addWidget(message_);

    auto *minutes = new QHBoxLayout;
    auto *less = new QPushButton(QStringLiteral("−1分"), this);
    auto *more = new QPushButton(QStringLiteral("+1分"), this);
    less->setObjectName(QStringLiteral("Tile_Less"));
    more->setObjectName(QStringLiteral("Tile_More"));
    auto *clear = new QPushButton(QStringLiteral("メッセージ消去"), this);
    clear->setObjectName(QStringLiteral("Tile_Clear"));
    minutes->addWidget(less);
    minutes->addWidget(more);
    minutes->addStretch(1);
    minutes->addWidget(clear);
    layout->addLayout(minutes);
    auto *say = new QHBoxLayout;
    messages_ = new QComboBox(this);
    messages_->setObjectName(QStringLiteral("Tile_Message"));
    messages_->setEditable(true);
    messages_->setInsertPolicy(QComboBox::NoInsert);
    messages_->lineEdit()->setMaxLength(140);
    messages_->lineEdit()->setPlaceholderText(QStringLiteral("メッセージ"));
    auto *send = new QPushButton(QStringLiteral("送信"), this);
    send->setObjectName(QStringLiteral("Tile_Send"));
    say->addWidget(messages_, 1);
    say->addWidget(send);
    layout->addLayout(say);
    outcome_ = label(this, 10);
    outcome_->setWordWrap(true);
    layout->addWidget(outcome_);
    // Tiles of a row are as tall as the tallest: each keeps its words at the top, so the times of
    // a row stay level.
    layout->addStretch(1);

    const auto adjust = [this](int by) {
        RemoteCommand command{RemoteCommand::Kind::Adjust, {}, by};
        ask(command, by > 0 ? QStringLiteral("1分延ばしました") : QStringLiteral("1分縮めました"));
    };
    connect(less, &QPushButton::clicked, this, [adjust] { adjust(-60); });
    connect(more, &QPushButton::clicked, this, [adjust] { adjust(60); });
    connect(clear, &QPushButton::clicked, this, [this] {
        ask({RemoteCommand::Kind::Message, {}, 0}, QStringLiteral("メッセージを消しました"));
    });
    const auto sendTyped = [this] {
        const QString text = messages_->currentText().trimmed();
        if (text.isEmpty())
            return;
        // One of the room's saved messages goes as that one, so the room shows it as its own.
        const qsizetype saved = saved_.indexOf(text);
        const RemoteCommand command =
            saved >= 0 ? RemoteCommand{RemoteCommand::Kind::MessageSaved, {}, static_cast<int>(saved)}
                       : RemoteCommand{RemoteCommand::Kind::Message, text, 0};
        ask(command, QStringLiteral("メッセージを送りました"));
    };
    connect(send, &QPushButton::clicked, this, sendTyped);
    connect(messages_->lineEdit(), &QLineEdit::returnPressed, this, sendTyped);
}

void RoomTile::show(const overviewchannel::RoomChange &room)
{
    room_ = room.room;
    const bool offline = !room.online;
    setObjectName(QStringLiteral("Tile_") + room.room);
    const QJsonObject &state = room.state;
    const QJsonObject talk = state.value(QLatin1StringView("talk")).toObject();
    name_->setText(room.room);
    const int number = talk.value(QLatin1StringView("number")).toInt();
    const int count = talk.value(QLatin1StringView("count")).toInt();
    talk_->setText(number > 0 && count > 0 ? QStringLiteral("%1/%2").arg(number).arg(count) : QString());
    title_->setText(talk.value(QLatin1StringView("title")).toString());
    speaker_->setText(talk.value(QLatin1StringView("speaker")).toString());
    time_->setText(state.value(QLatin1StringView("text")).toString());
    // The room's own display colours, as its chair and speaker see them; grey when it is not there.
    const QColor background(
        offline ? QStringLiteral("#555555")
                : state.value(QLatin1StringView("background")).toString(QStringLiteral("#000000")));
    const QColor foreground(
        offline ? QStringLiteral("#bbbbbb")
                : state.value(QLatin1StringView("foreground")).toString(QStringLiteral("#00ff00")));
    QPalette palette = time_->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, foreground);
    time_->setPalette(palette);
    state_->setText(offline ? QStringLiteral("オフライン")
                            : state.value(QLatin1StringView("stateText")).toString());
    // Ahead or behind plan in the chair's own words, where the room has a programme to say it by.
    const QJsonValue behind =
        state.value(QLatin1StringView("session")).toObject().value(QLatin1StringView("behindSeconds"));
    plan_->setText(offline || !behind.isDouble() ? QString()
                                                 : scheduleInWords(static_cast<qint64>(behind.toDouble())));
    const QString message = state.value(QLatin1StringView("message")).toString();
    message_->setText(message.isEmpty() ? QString() : QStringLiteral("メッセージ: ") + message);
    QStringList saved;
    for (const QJsonValue &text : state.value(QLatin1StringView("messages")).toArray())
        saved.append(text.toString());
    if (saved != saved_) {
        saved_ = saved;
        const QString typed = messages_->currentText();
        messages_->clear();
        messages_->addItems(saved_);
        messages_->setCurrentText(typed);
    }
}

void RoomTile::ask(RemoteCommand command, const QString &done)
{
    command.room = room_;
    outcome_->setText(QStringLiteral("送信中…"));
    const QPointer<QLabel> outcome = outcome_;
    act_(command, [outcome, done](const CommandVerdict &verdict) {
        if (!outcome)
            return;
        outcome->setText(verdict.status == 204 ? done : refusalInWords(verdict));
        QTimer::singleShot(kOutcomeMs, outcome, [outcome] { outcome->clear(); });
    });
}
