// The programme table: a refused cell changes nothing, talks move, go and come with the current
// talk following them, an edit marks the document modified, a programme opened is the table's
// anew, the current talk's highlight and the missing-sound mark.

#include "programme/programmefile.h"
#include "programme/programmemodel.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QFont>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

Programme threeTalks()
{
    return readProgrammeJson(R"({"format": "podiumwatch-programme", "version": 1,
        "defaults": {"bells": ["2:00", "0:00", null]},
        "talks": [{"title": "A", "speaker": "a", "time": "12:00"},
                  {"title": "B", "speaker": "b", "time": "15:00", "bells": ["3:00"]},
                  {"title": "C", "speaker": "c", "time": "10:00", "bells": [null, "1:00", {"at": "0:30", "file": "x.wav"}]}]})",
                             QStringLiteral("/nowhere"))
        .value();
}

// Every cell's text, row by row, for a before-and-after comparison.
QStringList cells(const ProgrammeModel &model)
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList texts{model.headerData(row, Qt::Vertical).toString()};
        for (int column = 0; column < model.columnCount(); ++column)
            texts << model.index(row, column).data().toString();
        rows << texts.join(u'|');
    }
    return rows;
}

} // namespace

class ProgrammeModelTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void badCellRefused_data();
    void badCellRefused();
    void cellsEdited();
    void moveRemoveInsert();
    void editMarksTheDocument_data();
    void editMarksTheDocument();
    void followsTheDocument();
    void currentTalkAndMissingSounds();

private:
    std::unique_ptr<ProgrammeDocument> document_;
    std::unique_ptr<ProgrammeModel> model_;
    // Every signal and answer of the model checked against what views rely on, in every test.
    std::unique_ptr<QAbstractItemModelTester> tester_;
};

void ProgrammeModelTest::init()
{
    tester_.reset();
    model_.reset();
    document_ = std::make_unique<ProgrammeDocument>();
    model_ = std::make_unique<ProgrammeModel>(*document_);
    tester_ = std::make_unique<QAbstractItemModelTester>(
        model_.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    document_->setProgramme(threeTalks());
}

void ProgrammeModelTest::badCellRefused_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("time unreadable")
        << int{ProgrammeModel::TimeColumn} << "12:75"
        << "2番目の発表の「時間」\"12:75\" "
           "を読めません。「12:30」「12」「12分30秒」「0:12:30」のように書いてください。";
    QTest::newRow("time zero") << int{ProgrammeModel::TimeColumn} << "0"
                               << "2番目の発表の「時間」\"0\" は 0:01〜546:07 の範囲にありません。";
    QTest::newRow("title too long") << int{ProgrammeModel::TitleColumn} << QString(201, u'題')
                                    << "2番目の発表の「演題」は 200 文字までです（201 文字あります）。";
    QTest::newRow("speaker too long") << int{ProgrammeModel::SpeakerColumn} << QString(101, u'者')
                                      << "2番目の発表の「発表者」は 100 文字までです（101 文字あります）。";
    QTest::newRow("affiliation too long") << int{ProgrammeModel::AffiliationColumn} << QString(101, u'属')
                                          << "2番目の発表の「所属」は 100 文字までです（101 文字あります）。";
    QTest::newRow("bell past 16 bits")
        << int{ProgrammeModel::Bell3Column} << "546:08"
        << "2番目の発表の「予鈴3」\"546:08\" は 0:00〜546:07 の範囲にありません。";
    QTest::newRow("bell unreadable")
        << int{ProgrammeModel::Bell2Column} << "1:5"
        << "2番目の発表の「予鈴2」\"1:5\" "
           "を読めません。「12:30」「12」「12分30秒」「0:12:30」のように書いてください。";
}

void ProgrammeModelTest::badCellRefused()
{
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QString, refusal);
    const QStringList before = cells(*model_);
    const Programme programme = document_->programme();
    QSignalSpy refused(model_.get(), &ProgrammeModel::editRefused);
    QSignalSpy changed(model_.get(), &QAbstractItemModel::dataChanged);
    QVERIFY(!model_->setData(model_->index(1, column), text));
    QCOMPARE(model_->errorString(), refusal);
    QCOMPARE(refused.value(0).value(0).toString(), refusal);
    QCOMPARE(cells(*model_), before);
    QCOMPARE(document_->programme(), programme);
    QCOMPARE(changed.count(), 0);
    QVERIFY(!document_->isModified());
}

void ProgrammeModelTest::cellsEdited()
{
    ProgrammeModel &model = *model_;
    const auto set = [&](int row, int column, const QString &text) {
        return model.setData(model.index(row, column), text);
    };
    QVERIFY(set(1, ProgrammeModel::TimeColumn, "16"));
    QVERIFY(set(1, ProgrammeModel::TitleColumn, "B, revised"));
    QVERIFY(set(2, ProgrammeModel::AffiliationColumn, "東京大学"));
    QVERIFY(set(2, ProgrammeModel::Bell3Column, "—"));
    QVERIFY(set(2, ProgrammeModel::Bell2Column, "0:45"));
    // A cell handed back unchanged changes nothing, a blank one included.
    QVERIFY(set(1, ProgrammeModel::Bell2Column, "—"));
    QVERIFY(set(0, ProgrammeModel::Bell1Column, ""));
    QCOMPARE(cells(model), QStringList({"1|A|a||12:00|||", "2|B, revised|b||16:00|3:00|—|—",
                                        "3 ⚠|C|c|東京大学|10:00|—|0:45|—"}));
    QCOMPARE(model.headerData(ProgrammeModel::AffiliationColumn, Qt::Horizontal).toString(),
             QStringLiteral("所属"));
    // A talk that took its bells from the defaults keeps them when one of them is edited.
    QVERIFY(set(0, ProgrammeModel::Bell3Column, "0:30"));
    QCOMPARE(cells(model).value(0), QStringLiteral("1|A|a||12:00|2:00|0:00|0:30"));
    const PreparedTalk prepared = prepareTalk(document_->programme(), 0, PreparedTalk{});
    QVERIFY(prepared.bells[0].on && prepared.bells[1].on && prepared.bells[2].on);
    QCOMPARE(prepared.bells[0].at, 120);
}

void ProgrammeModelTest::moveRemoveInsert()
{
    ProgrammeModel &model = *model_;
    QSignalSpy current(&model, &ProgrammeModel::currentTalkChanged);
    const auto titles = [&] {
        QString text;
        for (int row = 0; row < model.rowCount(); ++row)
            text += model.index(row, ProgrammeModel::TitleColumn).data().toString();
        return text;
    };
    QVERIFY(model.setCurrentTalk(2));
    QVERIFY(model.moveTalkUp(1));
    QCOMPARE(titles(), QStringLiteral("BAC"));
    QCOMPARE(model.currentTalk(), 1); // the current talk is B wherever it goes
    QVERIFY(model.moveTalkDown(0));
    QVERIFY(model.moveTalkDown(1));
    QCOMPARE(titles(), QStringLiteral("ACB"));
    QCOMPARE(model.currentTalk(), 3);
    QVERIFY(!model.moveTalkDown(2));
    QVERIFY(!model.moveTalkUp(0));
    QVERIFY(model.removeTalk(0));
    QCOMPARE(titles(), QStringLiteral("CB"));
    QCOMPARE(model.currentTalk(), 2);
    // The current talk removed: the one taking its place is current.
    QVERIFY(model.removeTalk(1));
    QCOMPARE(model.currentTalk(), 1);
    QCOMPARE(current.last().value(0).toInt(), 1);
    QVERIFY(!model.removeTalk(0));
    QCOMPARE(model.errorString(), QStringLiteral("発表プログラムには発表が 1 件は要ります。"));

    PreparedTalk setup;
    setup.seconds = 300;
    setup.bells[1] = {
        true, 60, false, true, QStringLiteral("緑"), QStringLiteral("黒"), QStringLiteral("/s/b.wav")};
    setup.alert = {true, false, true, QStringLiteral("赤"), QStringLiteral("白"), QStringLiteral("/s/a.wav")};
    QVERIFY(model.insertTalk(0, talkFromSetup(setup, QStringLiteral("D"), QStringLiteral("d"))));
    QCOMPARE(titles(), QStringLiteral("DC"));
    QCOMPARE(model.currentTalk(), 2);
    // The set-up comes back whatever the defaults and start-up say, but for the settings of a bell
    // that is off: the file keeps only that it is off.
    PreparedTalk startUp;
    startUp.bells[0] = {
        true, 10, true, true, QStringLiteral("青"), QStringLiteral("白"), QStringLiteral("/x")};
    PreparedTalk expected = setup;
    expected.bells[0] = {
        false, 120, true, true, QStringLiteral("青"), QStringLiteral("白"), QStringLiteral("/x")};
    QCOMPARE(prepareTalk(document_->programme(), 0, startUp), expected);
    setup.seconds = 0;
    QVERIFY(!model.insertTalk(0, talkFromSetup(setup, {}, {})));
    QCOMPARE(model.errorString(),
             QStringLiteral("1番目の発表の「時間」\"0:00\" は 0:01〜546:07 の範囲にありません。"));
    ProgrammeTalk affiliated = talkFromSetup(setup, {}, {});
    affiliated.seconds = 60;
    affiliated.affiliation = QString(101, u'属');
    QVERIFY(!model.insertTalk(0, affiliated));
    QCOMPARE(model.errorString(),
             QStringLiteral("1番目の発表の「所属」は 100 文字までです（101 文字あります）。"));
    QCOMPARE(model.rowCount(), 2);

    // As many as a file may hold, and not one more: a programme saved with 201 would not open.
    setup.seconds = 60;
    while (model.rowCount() < kMostTalks)
        QVERIFY(model.insertTalk(model.rowCount(), talkFromSetup(setup, {}, {})));
    QVERIFY(!model.insertTalk(0, talkFromSetup(setup, {}, {})));
    QCOMPARE(model.rowCount(), kMostTalks);
}

void ProgrammeModelTest::editMarksTheDocument_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<bool>("modified");
    for (const char *edit : {"cell", "insert", "remove", "move"})
        QTest::newRow(edit) << QString::fromLatin1(edit) << true;
    QTest::newRow("cell handed back unchanged") << "same cell" << false;
    QTest::newRow("move past the end") << "no move" << false;
}

// What the table changes goes into the document, which is then modified.
void ProgrammeModelTest::editMarksTheDocument()
{
    QFETCH(QString, edit);
    QFETCH(bool, modified);
    ProgrammeModel &model = *model_;
    QSignalSpy marked(document_.get(), &ProgrammeDocument::modifiedChanged);
    const QString before = cells(model).join(u'/');
    const bool done = edit == "cell" ? model.setData(model.index(0, ProgrammeModel::SpeakerColumn), "x")
                      : edit == "same cell"
                          ? model.setData(model.index(0, ProgrammeModel::SpeakerColumn), "a")
                      : edit == "insert" ? model.insertTalk(1, document_->programme().talks.at(0))
                      : edit == "remove" ? model.removeTalk(1)
                      : edit == "move"   ? model.moveTalkDown(0)
                                         : model.moveTalkDown(2);
    QCOMPARE(done, edit != "no move");
    QCOMPARE(document_->isModified(), modified);
    QCOMPARE(marked.count(), modified ? 1 : 0);
    QCOMPARE(cells(model).join(u'/') != before, modified);
}

// A programme the document opens is the table's anew, from its first talk.
void ProgrammeModelTest::followsTheDocument()
{
    ProgrammeModel &model = *model_;
    ProgrammeDocument &document = *document_;
    QVERIFY(model.setData(model.index(0, ProgrammeModel::SpeakerColumn), "x"));
    QVERIFY(model.moveTalkDown(0));
    QTemporaryDir folder;
    const QString path = folder.filePath("session.json");
    const Result<> saved = document.save(path);
    QVERIFY2(saved.ok(), qPrintable(saved.error()));
    QVERIFY(model.removeTalk(2));
    QCOMPARE(model.currentTalk(), 2); // A, where it was moved
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy current(&model, &ProgrammeModel::currentTalkChanged);
    const Result<> opened = document.open(path);
    QVERIFY2(opened.ok(), qPrintable(opened.error()));
    QCOMPARE(reset.count(), 1);
    QCOMPARE(model.currentTalk(), 1);
    QCOMPARE(current.last().value(0).toInt(), 1);
    QCOMPARE(cells(model),
             QStringList({"1|B|b||15:00|3:00|—|—", "2|A|x||12:00|||", "3 ⚠|C|c||10:00|—|1:00|0:30"}));
    QVERIFY(!document.isModified());
}

void ProgrammeModelTest::currentTalkAndMissingSounds()
{
    ProgrammeModel &model = *model_;
    QTemporaryDir folder;
    QFile sound(folder.filePath("x.wav"));
    QVERIFY(sound.open(QIODevice::WriteOnly));
    sound.close();
    Programme programme = threeTalks();
    programme.talks[1].alert.file = QStringLiteral("missing.wav");
    programme.folder = folder.path();
    document_->setProgramme(programme);
    QCOMPARE(model.currentTalk(), 1);
    QVERIFY(model.setCurrentTalk(3));
    QVERIFY(!model.setCurrentTalk(4));
    for (int row = 0; row < 3; ++row) {
        const QModelIndex index = model.index(row, ProgrammeModel::TitleColumn);
        QCOMPARE(index.data(Qt::FontRole).value<QFont>().bold(), row == 2);
        QCOMPARE(index.data(Qt::BackgroundRole).isValid(), row == 2);
    }
    // x.wav is there, missing.wav is not.
    QCOMPARE(model.headerData(1, Qt::Vertical).toString(), QStringLiteral("2 ⚠"));
    QCOMPARE(model.headerData(2, Qt::Vertical).toString(), QStringLiteral("3"));
    QVERIFY(model.index(1, ProgrammeModel::TitleColumn)
                .data(Qt::ToolTipRole)
                .toString()
                .contains(folder.filePath("missing.wav")));
    QCOMPARE(model.index(1, 0).data(ProgrammeModel::MissingSoundRole).toStringList(),
             QStringList{folder.filePath("missing.wav")});
    QVERIFY(!model.index(2, 0).data(Qt::ToolTipRole).isValid());
    QVERIFY(QFile::remove(folder.filePath("x.wav")));
    model.refreshSoundFiles();
    QCOMPARE(model.headerData(2, Qt::Vertical).toString(), QStringLiteral("3 ⚠"));

    document_->clear();
    QCOMPARE(model.currentTalk(), 0);
    QCOMPARE(model.rowCount(), 0);
}

QTEST_MAIN(ProgrammeModelTest)
#include "tst_programmemodel.moc"
