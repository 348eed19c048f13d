// Choosing the four sound files and hearing them.

#include "rig.h"

namespace {

struct Row {
    const char *browse;
    const char *preview;
    const char *path;
};

const Row kRows[] = {{"Cmd_Alerm_Files", "Cmd_PlaySound_Alerm", "Txt_Alerm_Files"},
                     {"Cmd_Bell1_Files", "Cmd_PlaySound1", "Txt_Bell1_Files"},
                     {"Cmd_Bell2_Files", "Cmd_PlaySound2", "Txt_Bell2_Files"},
                     {"Cmd_Bell3_Files", "Cmd_PlaySound3", "Txt_Bell3_Files"}};

} // namespace

class SoundFilesTest : public QObject {
    Q_OBJECT

private slots:
    void eachRowChoosesItsOwnFile_data();
    void eachRowChoosesItsOwnFile();
    void cancelKeepsThePath();
    void dialogStartsFromTheRowsPath();
    void eachPreviewPlaysItsOwnPath();
    void sameFileAgainIsConfirmed();
};

void SoundFilesTest::eachRowChoosesItsOwnFile_data()
{
    QTest::addColumn<int>("row");
    for (int row = 0; row < 4; ++row)
        QTest::newRow(kRows[row].browse) << row;
}

void SoundFilesTest::eachRowChoosesItsOwnFile()
{
    QFETCH(int, row);
    Rig rig;
    const QString chosen = QStringLiteral("/home/chair/音/ベル %1.wav").arg(row);
    rig.platform.dialogAnswers << chosen;
    QStringList before;
    for (const Row &r : kRows)
        before << rig.box(r.path)->text();
    rig.button(kRows[row].browse)->click();
    for (int other = 0; other < 4; ++other)
        QCOMPARE(rig.box(kRows[other].path)->text(), other == row ? chosen : before[other]);
    QCOMPARE(rig.platform.messages.size(), std::size_t{1});
    QCOMPARE(rig.platform.messages[0].first,
             QStringLiteral("以下のファイルを音源に設定しました。\r\n") + chosen);
    QCOMPARE(rig.platform.messages[0].second, QStringLiteral("ポディウォッチ"));
    // What was chosen is what the bell or alarm plays from now on.
    rig.button(kRows[row].preview)->click();
    QCOMPARE(rig.platform.played, QStringList{chosen});
}

void SoundFilesTest::cancelKeepsThePath()
{
    Rig rig;
    const QString before = rig.box("Txt_Bell2_Files")->text();
    rig.platform.dialogAnswers << QString(); // cancel
    rig.button("Cmd_Bell2_Files")->click();
    QCOMPARE(rig.box("Txt_Bell2_Files")->text(), before);
    QCOMPARE(rig.platform.messages.size(), std::size_t{1});
    QCOMPARE(rig.platform.messages[0].first,
             QStringLiteral("ユーザーによりキャンセルされました。\r\n処理を中止します。"));
    QCOMPARE(rig.platform.messages[0].second, QStringLiteral("ポディウォッチ"));
}

void SoundFilesTest::dialogStartsFromTheRowsPath()
{
    Rig rig;
    rig.platform.dialogAnswers << QStringLiteral("/a/alarm.wav") << QStringLiteral("/b/bell3.wav");
    rig.button("Cmd_Alerm_Files")->click();
    rig.button("Cmd_Bell3_Files")->click();
    rig.button("Cmd_Bell1_Files")->click(); // cancelled: no answer left
    rig.button("Cmd_Alerm_Files")->click();
    QCOMPARE(rig.platform.dialogStarts.size(), 4);
    QVERIFY(rig.platform.dialogStarts[0].endsWith(QStringLiteral("QOR_Sound00.wav")));
    QVERIFY(rig.platform.dialogStarts[1].endsWith(QStringLiteral("QOR_Sound03.wav")));
    QVERIFY(rig.platform.dialogStarts[2].endsWith(QStringLiteral("QOR_Sound01.wav")));
    QCOMPARE(rig.platform.dialogStarts[3], QStringLiteral("/a/alarm.wav"));
}

void SoundFilesTest::eachPreviewPlaysItsOwnPath()
{
    Rig rig;
    rig.box("Txt_Alerm_Files")->setText("/x/alarm.wav");
    rig.box("Txt_Bell1_Files")->setText("/x/one.wav");
    rig.box("Txt_Bell2_Files")->setText("/x/two.wav");
    rig.box("Txt_Bell3_Files")->setText(""); // an empty path is played all the same
    for (const Row &row : kRows)
        rig.button(row.preview)->click();
    QCOMPARE(rig.platform.played, (QStringList{"/x/alarm.wav", "/x/one.wav", "/x/two.wav", ""}));
    QVERIFY(rig.platform.messages.empty());
}

void SoundFilesTest::sameFileAgainIsConfirmed()
{
    Rig rig;
    const QString current = rig.box("Txt_Bell1_Files")->text();
    rig.platform.dialogAnswers << current;
    rig.button("Cmd_Bell1_Files")->click();
    QCOMPARE(rig.box("Txt_Bell1_Files")->text(), current);
    QCOMPARE(rig.platform.messages.size(), std::size_t{1});
    QVERIFY(rig.platform.messages[0].first.endsWith(current));
}

QTEST_MAIN(SoundFilesTest)
#include "tst_soundfiles.moc"
