// Start-up of the main window, with and without its data folder, and the ways the program ends.

#include "fakeplatform.h"
#include "forms/viewer.h"
#include "support.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void picturesFromTheDataFolder();
    void defaultSoundPaths();
    void framesHiddenButTheTotalTime();
    void colourListsFilledAndPreselected_data();
    void colourListsFilledAndPreselected();
    void titleCarriesTheVersion();
    void copyrightYearFromTheClock();
    void missingDataFolder();
    void unreadablePictures();
    void copyrightDoubleClick();
    void exitButtonQuits();
    void silenceIsShownWithoutABox();
};

void StartupTest::picturesFromTheDataFolder()
{
    FakePlatform platform;
    platform.folder = QStringLiteral(PODIUMWATCH_BUILD_DIR);
    Viewer viewer(platform);
    viewer.Form_Load();
    for (const char *image : {"Img_Start", "Img_ReStart", "Img_Stop", "Img_Pause"}) {
        auto *label = ctl<QLabel>(viewer, image);
        QVERIFY2(!label->pixmap().isNull(), image);
        QVERIFY(label->hasScaledContents());
    }
}

void StartupTest::defaultSoundPaths()
{
    FakePlatform platform;
    platform.folder = QStringLiteral("/srv/pw");
    Viewer viewer(platform);
    viewer.Form_Load();
    const QString sep = QDir::separator();
    const QString sound = "/srv/pw" + sep + "DATA" + sep + "Sound" + sep;
    QCOMPARE(ctl<QLineEdit>(viewer, "Txt_Alerm_Files")->text(), sound + "QOR_Sound00.wav");
    QCOMPARE(ctl<QLineEdit>(viewer, "Txt_Bell1_Files")->text(), sound + "QOR_Sound01.wav");
    QCOMPARE(ctl<QLineEdit>(viewer, "Txt_Bell2_Files")->text(), sound + "QOR_Sound02.wav");
    QCOMPARE(ctl<QLineEdit>(viewer, "Txt_Bell3_Files")->text(), sound + "QOR_Sound03.wav");
    QCOMPARE(ctl<QLineEdit>(viewer, "Txt_Alerm_Files")->text(),
             QStringLiteral("/srv/pw/DATA/Sound/QOR_Sound00.wav"));
}

void StartupTest::framesHiddenButTheTotalTime()
{
    FakePlatform platform;
    Viewer viewer(platform);
    viewer.Form_Load();
    viewer.show();
    for (const char *frame : {"Frm_Bell1", "Frm_Bell2", "Frm_Bell3", "Frm_Alert", "Frm_Button"})
        QVERIFY2(!ctl<QWidget>(viewer, frame)->isVisible(), frame);
    QVERIFY(ctl<QWidget>(viewer, "Frm_Time")->isVisible());
    QVERIFY(ctl<QWidget>(viewer, "ProgressBar1")->isVisible());
    // Nothing else moves: the display, the state lines and the timers stay as designed.
    QCOMPARE(ctl<QLabel>(viewer, "Lbl_Time")->text(), QStringLiteral("--:--"));
    QCOMPARE(ctl<QLabel>(viewer, "Lbl_Phase")->text(), QStringLiteral("動作状態：セットアップ中"));
    QVERIFY(!ctl<QTimer>(viewer, "Timer_PresentTime")->isActive());
    QVERIFY(!ctl<QTimer>(viewer, "Timer_Alert")->isActive());
    QVERIFY(viewer.slave() == nullptr);
}

void StartupTest::colourListsFilledAndPreselected_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("selected");
    QTest::newRow("bell 1 background") << "Cmb_BC_Bell1"
                                       << "黄";
    QTest::newRow("bell 1 text") << "Cmb_FC_Bell1"
                                 << "黒";
    QTest::newRow("bell 2 background") << "Cmb_BC_Bell2"
                                       << "赤";
    QTest::newRow("bell 2 text") << "Cmb_FC_Bell2"
                                 << "白";
    QTest::newRow("bell 3 background") << "Cmb_BC_Bell3"
                                       << "青";
    QTest::newRow("bell 3 text") << "Cmb_FC_Bell3"
                                 << "白";
    QTest::newRow("alert background") << "Cmb_BC_Alert"
                                      << "赤";
    QTest::newRow("alert text") << "Cmb_FC_Alert"
                                << "白";
}

void StartupTest::colourListsFilledAndPreselected()
{
    QFETCH(QString, list);
    QFETCH(QString, selected);
    FakePlatform platform;
    Viewer viewer(platform);
    viewer.Form_Load();
    auto *combo = ctl<QComboBox>(viewer, list);
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i)
        entries << combo->itemText(i);
    QCOMPARE(entries, (QStringList{"赤", "黄", "青", "緑", "黒", "白", "桃"}));
    QCOMPARE(combo->currentText(), selected);
    // A drop-down list: a text of its own cannot be put into it.
    combo->setCurrentText(QStringLiteral("紫"));
    QCOMPARE(combo->currentText(), selected);
    QVERIFY(!combo->isEditable());
}

void StartupTest::titleCarriesTheVersion()
{
    FakePlatform platform;
    Viewer viewer(platform);
    viewer.Form_Load();
    QVERIFY2(viewer.windowTitle().startsWith(QStringLiteral("【ポディウムウォッチ】 (Ver.1.1.0.)")),
             qPrintable(viewer.windowTitle()));
    QVERIFY(viewer.windowTitle().size() > QStringLiteral("【ポディウムウォッチ】 (Ver.1.1.0.)").size());
}

void StartupTest::copyrightYearFromTheClock()
{
    FakePlatform platform;
    platform.clock = QDateTime(QDate(2031, 12, 31), QTime(23, 59, 59));
    Viewer viewer(platform);
    viewer.Form_Load();
    const QString notice = ctl<QLabel>(viewer, "Lbl_Copyright")->text();
    QVERIFY2(notice.contains(QStringLiteral("-2031")), qPrintable(notice));
    QVERIFY(notice.contains(QStringLiteral("Copyright")));
    // It is written once: running into a new year leaves it alone.
    platform.advance(2);
    QCOMPARE(ctl<QLabel>(viewer, "Lbl_Copyright")->text(), notice);
}

void StartupTest::missingDataFolder()
{
    QTemporaryDir empty;
    FakePlatform platform;
    platform.folder = empty.path();
    Viewer viewer(platform);
    viewer.Form_Load();
    for (const char *image : {"Img_Start", "Img_ReStart", "Img_Stop", "Img_Pause"})
        QVERIFY2(ctl<QLabel>(viewer, image)->pixmap().isNull(), image);
    QVERIFY(ctl<QLineEdit>(viewer, "Txt_Bell3_Files")->text().endsWith(QStringLiteral("QOR_Sound03.wav")));
    QCOMPARE(ctl<QComboBox>(viewer, "Cmb_FC_Alert")->count(), 7);
    QVERIFY(viewer.windowTitle().startsWith(QStringLiteral("【ポディウムウォッチ】")));
    QVERIFY(ctl<QWidget>(viewer, "Frm_Button")->isHidden());
    QVERIFY(platform.messages.empty());
}

void StartupTest::unreadablePictures()
{
    QTemporaryDir folder;
    QDir(folder.path())
        .mkpath(QStringLiteral("DATA/BackData/Stop.jpg")); // a directory under a picture's name
    const QString pictures = folder.path() + QStringLiteral("/DATA/BackData/");
    QFile garbage(pictures + QStringLiteral("Start.jpg"));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write("not a picture at all");
    garbage.close();
    QVERIFY(QFile::copy(QStringLiteral(PODIUMWATCH_BUILD_DIR "/DATA/BackData/Pause.jpg"),
                        pictures + "Pause.jpg"));
    QFile truncated(QStringLiteral(PODIUMWATCH_BUILD_DIR "/DATA/BackData/ReStart.jpg"));
    QVERIFY(truncated.open(QIODevice::ReadOnly));
    QFile cut(pictures + QStringLiteral("ReStart.jpg"));
    QVERIFY(cut.open(QIODevice::WriteOnly));
    cut.write(truncated.read(40));
    cut.close();

    FakePlatform platform;
    platform.folder = folder.path();
    Viewer viewer(platform);
    viewer.Form_Load();
    QVERIFY(ctl<QLabel>(viewer, "Img_Start")->pixmap().isNull());
    QVERIFY(ctl<QLabel>(viewer, "Img_ReStart")->pixmap().isNull());
    QVERIFY(ctl<QLabel>(viewer, "Img_Stop")->pixmap().isNull());
    QVERIFY(!ctl<QLabel>(viewer, "Img_Pause")->pixmap().isNull());
    QVERIFY(platform.messages.empty());
}

void StartupTest::copyrightDoubleClick()
{
    FakePlatform platform;
    Viewer viewer(platform);
    viewer.Form_Load();
    viewer.show();
    auto *notice = ctl<QLabel>(viewer, "Lbl_Copyright");
    notice->setText(QStringLiteral("shown as it stands"));
    QTest::mouseDClick(notice, Qt::LeftButton);
    QCOMPARE(platform.messages.size(), std::size_t{1});
    QCOMPARE(platform.messages[0].first, QStringLiteral("shown as it stands"));
    QCOMPARE(platform.messages[0].second, QStringLiteral("Copyright"));
}

void StartupTest::exitButtonQuits()
{
    FakePlatform platform;
    Viewer viewer(platform);
    viewer.Form_Load();
    ctl<QAbstractButton>(viewer, "Cmd_End")->click();
    QCOMPARE(platform.quits, 1);
}

void StartupTest::silenceIsShownWithoutABox()
{
    FakePlatform platform;
    Viewer viewer(platform);
    viewer.Form_Load();
    viewer.show();
    auto *sign = ctl<QLabel>(viewer, "SoundOutputWarning");
    QVERIFY(!sign->isVisible());
    platform.soundWatcher(false);
    QVERIFY(sign->isVisible());
    // Masked for the audience, the operator still sees it.
    ctl<QAbstractButton>(viewer, "Check_Mask")->click();
    QVERIFY(sign->isVisible());
    platform.soundWatcher(true);
    QVERIFY(!sign->isVisible());
    QVERIFY(platform.messages.empty());
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
