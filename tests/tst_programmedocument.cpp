// The programme as a document: saved and opened with the modified flag, where its record goes, the
// saved messages, and its own title, planned start and changeover under the file's checks.

#include "programme/programmedocument.h"
#include "programme/programmefile.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// One talk with a sound file named relative to the programme's folder.
Programme oneTalk()
{
    return readProgrammeJson(R"({"format": "podiumwatch-programme", "version": 1,
        "talks": [{"title": "A", "speaker": "a", "time": "12:00", "bells": [{"at": "0:30", "file": "x.wav"}]}]})",
                             QStringLiteral("/nowhere"))
        .value();
}

// The programme's own fields, as the window edits them.
enum PlanField { PlanTitle, PlanStart, PlanChangeover };

} // namespace

class ProgrammeDocumentTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void savedAndOpened();
    void messages();
    void sessionEdited_data();
    void sessionEdited();

private:
    QTemporaryDir documents_;
    std::unique_ptr<ProgrammeDocument> document_;
};

void ProgrammeDocumentTest::init()
{
    document_ = std::make_unique<ProgrammeDocument>(documents_.path());
    document_->setProgramme(oneTalk());
}

void ProgrammeDocumentTest::savedAndOpened()
{
    ProgrammeDocument &document = *document_;
    QSignalSpy modified(&document, &ProgrammeDocument::modifiedChanged);
    // Made here and never saved: no file, and the record where the documents go.
    QVERIFY(document.path().isEmpty());
    QCOMPARE(document.recordPath(), QDir(documents_.path()).filePath("podiumwatch.record.csv"));
    QVERIFY(document.setTitle(QStringLiteral("午後の部")));
    QVERIFY(document.isModified());

    QTemporaryDir folder;
    const QString first = folder.filePath("session.json");
    const Result<> saved = document.save(first);
    QVERIFY2(saved.ok(), qPrintable(saved.error()));
    QVERIFY(!document.isModified());
    QCOMPARE(modified.count(), 2);
    QCOMPARE(document.path(), first);
    // Saved elsewhere, a relative sound file is named by its absolute path from then on.
    QCOMPARE(document.programme().folder, folder.path());
    QCOMPARE(document.programme().talks.at(0).bells[0].file, std::optional<QString>("/nowhere/x.wav"));
    // The record is beside the file it was first saved to, and stays there under another name.
    QCOMPARE(document.recordPath(), folder.filePath("session.record.csv"));
    const QString second = folder.filePath("other.json");
    QVERIFY(document.save(second).ok());
    QCOMPARE(document.path(), second);
    QCOMPARE(document.recordPath(), folder.filePath("session.record.csv"));

    // A file refused changes nothing.
    QVERIFY(document.setChangeover(QStringLiteral("2:00")));
    const QString missing = QStringLiteral("ファイル「missing.json」が見つかりません。");
    QCOMPARE(document.open(folder.filePath("missing.json")).error(), missing);
    QCOMPARE(document.errorString(), missing);
    QVERIFY(document.isModified());
    QCOMPARE(document.path(), second);
    QCOMPARE(document.changeoverText(), QStringLiteral("2:00"));
    // One opened is the file's, unmodified, with its record beside it.
    const Result<> opened = document.open(second);
    QVERIFY2(opened.ok(), qPrintable(opened.error()));
    QVERIFY(!document.isModified());
    QCOMPARE(document.programme().title, QStringLiteral("午後の部"));
    QVERIFY(document.changeoverText().isEmpty());
    QCOMPARE(document.recordPath(), folder.filePath("other.record.csv"));

    // Taken whole, a programme has no file of its own to be written over.
    document.clear();
    QVERIFY(document.path().isEmpty());
    QCOMPARE(document.save(folder.filePath("empty.json")).error(),
             QStringLiteral("発表が 1 件もないので保存できません。"));
    QVERIFY(!QFile::exists(folder.filePath("empty.json")));
}

void ProgrammeDocumentTest::messages()
{
    ProgrammeDocument &document = *document_;
    QSignalSpy changed(&document, &ProgrammeDocument::messagesChanged);
    for (int i = 0; i < 19; ++i)
        QVERIFY(document.addMessage(QStringLiteral("あと%1分です").arg(i)));
    QVERIFY(document.addMessage(QString(80, u'あ')));
    QVERIFY(!document.addMessage(QStringLiteral("21")));
    QCOMPARE(document.errorString(), QStringLiteral("メッセージは 20 件までです。"));
    QVERIFY(!document.replaceMessage(0, QString(81, u'あ')));
    QCOMPARE(document.errorString(),
             QStringLiteral("1番目のメッセージは 80 文字までです（81 文字あります）。"));
    QVERIFY(!document.replaceMessage(1, QString()));
    QVERIFY(document.replaceMessage(1, QStringLiteral("時間です")));
    QVERIFY(document.removeMessage(0));
    QCOMPARE(document.messages().size(), 19);
    QCOMPARE(document.messages().first(), QStringLiteral("時間です"));
    QCOMPARE(changed.count(), 22);
    QVERIFY(document.isModified());
}

void ProgrammeDocumentTest::sessionEdited_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("modified");
    QTest::addColumn<QString>("shown"); // the field read back, or the refusal
    QTest::newRow("start at 23:59") << int{PlanStart} << "23:59" << true << true << "23:59";
    QTest::newRow("start full-width") << int{PlanStart} << "０９：０５" << true << true << "9:05";
    QTest::newRow("start at 24:00 refused")
        << int{PlanStart} << "24:00" << false << false
        << "プログラムの「開始予定」\"24:00\" は 0:00〜23:59 の範囲にありません。";
    QTest::newRow("start minutes past 59 refused")
        << int{PlanStart} << "9:60" << false << false
        << "プログラムの「開始予定」\"9:60\" を読めません。「9:30」「13:00」のように書いてください。";
    // Not 9:05: "9:5" is as likely 9:50 cut short.
    QTest::newRow("start with one digit of minutes refused")
        << int{PlanStart} << "9:5" << false << false
        << "プログラムの「開始予定」\"9:5\" を読めません。「9:30」「13:00」のように書いてください。";
    QTest::newRow("start the same, typed otherwise")
        << int{PlanStart} << " １０:00" << true << false << "10:00";
    QTest::newRow("start emptied") << int{PlanStart} << "" << true << true << "";
    QTest::newRow("changeover typed in Japanese")
        << int{PlanChangeover} << "1分30秒" << true << true << "1:30";
    QTest::newRow("changeover the same, typed otherwise")
        << int{PlanChangeover} << "1分" << true << false << "1:00";
    QTest::newRow("changeover past 16 bits refused")
        << int{PlanChangeover} << "546:08" << false << false
        << "プログラムの「発表間の切り替え」\"546:08\" は 0:00〜546:07 の範囲にありません。";
    QTest::newRow("changeover emptied") << int{PlanChangeover} << " " << true << true << "";
    QTest::newRow("title at its longest")
        << int{PlanTitle} << QString(200, u'題') << true << true << QString(200, u'題');
    QTest::newRow("title too long refused")
        << int{PlanTitle} << QString(201, u'題') << false << false
        << "プログラムの「表題」は 200 文字までです（201 文字あります）。";
    QTest::newRow("title unchanged") << int{PlanTitle} << "午後の部" << true << false << "午後の部";
}

void ProgrammeDocumentTest::sessionEdited()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(bool, modified);
    QFETCH(QString, shown);
    ProgrammeDocument &document = *document_;
    Programme programme = oneTalk();
    programme.title = QStringLiteral("午後の部");
    programme.start = 10 * 60;
    programme.changeover = 60;
    document.setProgramme(programme);
    QSignalSpy session(&document, &ProgrammeDocument::sessionChanged);
    QSignalSpy refused(&document, &ProgrammeDocument::editRefused);
    // By PlanField.
    bool (ProgrammeDocument::*const setters[])(const QString &) = {
        &ProgrammeDocument::setTitle, &ProgrammeDocument::setPlannedStart, &ProgrammeDocument::setChangeover};
    const auto readBack = [&] {
        return field == PlanTitle   ? document.programme().title
               : field == PlanStart ? document.plannedStartText()
                                    : document.changeoverText();
    };
    QCOMPARE((document.*setters[field])(text), accepted);
    QCOMPARE(accepted ? readBack() : document.errorString(), shown);
    QCOMPARE(refused.count(), accepted ? 0 : 1);
    QCOMPARE(document.isModified(), modified);
    QCOMPARE(session.count(), modified ? 1 : 0);
    if (!modified)
        QCOMPARE(document.programme(), programme);
}

QTEST_GUILESS_MAIN(ProgrammeDocumentTest)
#include "tst_programmedocument.moc"
