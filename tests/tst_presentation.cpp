// The screen mask and the projector window: what hides and shows, which screen the projector
// window opens on, and a time display whose ink fills any window without clipping.

#include "forms/displaylabel.h"
#include "forms/messagelabel.h"
#include "forms/slave.h"
#include "rig.h"

#include <QGlyphRun>
#include <QPointer>
#include <QProgressBar>
#include <QRawFont>
#include <QScreen>
#include <QTextLayout>

namespace {

const QColor kBlack(0, 0, 0), kGreen(0, 255, 0);

const QStringList kMasked = {"Frm_Time",  "Frm_Alert", "Frm_Button",  "Frm_Bell1",
                             "Frm_Bell2", "Frm_Bell3", "ProgressBar1"};
const QStringList kNeverMasked = {"Lbl_Time",  "Lbl_Phase", "Lbl_EndTime",     "Check_Mask",
                                  "Cmd_Slave", "Cmd_Start", "Cmd_Reset_Start", "Cmd_Pause",
                                  "Cmd_Reset", "Cmd_End",   "Label4",          "Lbl_Copyright"};

struct ShownRig : Rig {
    ShownRig() { viewer.show(); }
    QColor background() const { return viewer.palette().color(QPalette::Window); }
    bool anyMaskedVisible() const
    {
        for (const QString &name : kMasked)
            if (ctl<QWidget>(viewer, name)->isVisible())
                return true;
        return false;
    }
    bool allMaskedVisible() const
    {
        for (const QString &name : kMasked)
            if (!ctl<QWidget>(viewer, name)->isVisible())
                return false;
        return true;
    }
};

// The smallest rectangle holding every pixel that differs from the background.
QRect inkBounds(const QImage &image, QRgb background)
{
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] != background) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// The projector window as the hall sees it.
QImage projected(Slave &slave, const QString &text)
{
    slave.timeLabel()->setText(text);
    QCoreApplication::sendPostedEvents(&slave, QEvent::LayoutRequest); // the event loop's next turn
    return slave.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class PresentationTest : public QObject {
    Q_OBJECT

private slots:
    void overTimeSignWithoutColour_data();
    void overTimeSignWithoutColour();
    void maskingWhileBlack();
    void unmaskingBeforeAnyApplyShowsEveryFrame();
    void resetWhileMaskedStaysMasked();
    void startAndRestartReapplyTheMask();
    void slaveBeforeAnyApply();
    void oneSlaveAtMost();
    void slaveClosedAndReopenedCatchesUp();
    void projectorShowsWhatTheDisplayShows_data();
    void projectorShowsWhatTheDisplayShows();
    void messageUnderTheTime_data();
    void messageUnderTheTime();
    void messageBreaksBetweenPhrases_data();
    void messageBreaksBetweenPhrases();
    void messageBlinksThreeTimesThenStays();
    void closingTheMainWindowClosesSlave();
    void slaveFullScreenByKeyAndDoubleClick();
    void runKeysWorkFromTheProjector();
    void slaveOpensOnTheOtherScreen_data();
    void slaveOpensOnTheOtherScreen();
    void drawnTextStaysInsideTheBox_data();
    void drawnTextStaysInsideTheBox();
    void projectorInkFillsTheWindow_data();
    void projectorInkFillsTheWindow();
    void projectorDigitsKeepTheirPlace();
    void projectorShowsNoStaleInk();
    void slaveNoLargerThanTheDesktop();
    void mainDisplayFitsTheWidestText();
    void slaveLandsOnARemainingScreen();
};

void PresentationTest::maskingWhileBlack()
{
    ShownRig rig;
    rig.button("Cmd_SetTime")->click();
    QVERIFY(rig.allMaskedVisible());
    rig.button("Check_Mask")->click();
    QCOMPARE(rig.button("Check_Mask")->text(), QStringLiteral("マスク解除"));
    QVERIFY(!rig.button("Check_Mask")->isChecked());
    QCOMPARE(rig.background(), QColor(0, 0, 0));
    QCOMPARE(rig.button("Check_Mask")->palette().color(QPalette::Button), QColor(32, 32, 32));
    QVERIFY(!rig.anyMaskedVisible());
    for (const QString &name : kNeverMasked)
        QVERIFY2(ctl<QWidget>(rig.viewer, name)->isVisible(), qPrintable(name));

    rig.button("Check_Mask")->click();
    QCOMPARE(rig.button("Check_Mask")->text(), QStringLiteral("画面マスク"));
    QCOMPARE(rig.background(), QColor(128, 128, 128));
    QVERIFY(rig.allMaskedVisible());
    // The darker face stays from the first masking on.
    QCOMPARE(rig.button("Check_Mask")->palette().color(QPalette::Button), QColor(32, 32, 32));
}

void PresentationTest::unmaskingBeforeAnyApplyShowsEveryFrame()
{
    ShownRig rig;
    QVERIFY(ctl<QWidget>(rig.viewer, "Frm_Bell2")->isHidden());
    rig.button("Check_Mask")->click(); // masked
    rig.button("Check_Mask")->click(); // shown again: all six frames, including those start-up hid
    QVERIFY(rig.allMaskedVisible());
    QCOMPARE(rig.display(), QStringLiteral("--:--"));
}

void PresentationTest::resetWhileMaskedStaysMasked()
{
    ShownRig rig;
    rig.setTotal("0", "00");
    rig.start();
    rig.seconds(2);
    rig.button("Check_Mask")->click();
    QCOMPARE(rig.background(), QColor(255, 0, 0));
    rig.button("Cmd_Reset")->click();
    QVERIFY(!rig.anyMaskedVisible());
    QCOMPARE(rig.background(), QColor(0, 0, 0));
    QCOMPARE(rig.button("Check_Mask")->text(), QStringLiteral("マスク解除"));
    // Applying alone (without reset) shows the five setting frames: only reset, start and
    // restart mask again.
    rig.button("Cmd_SetTime")->click();
    for (const char *frame : {"Frm_Bell1", "Frm_Bell2", "Frm_Bell3", "Frm_Alert", "Frm_Button"})
        QVERIFY(ctl<QWidget>(rig.viewer, frame)->isVisible());
    QVERIFY(ctl<QWidget>(rig.viewer, "Frm_Time")->isHidden());
}

void PresentationTest::startAndRestartReapplyTheMask()
{
    ShownRig rig;
    rig.button("Check_Mask")->click();
    rig.button("Cmd_SetTime")->click();
    QVERIFY(ctl<QWidget>(rig.viewer, "Frm_Bell1")->isVisible());
    rig.start();
    QVERIFY(!rig.anyMaskedVisible());
    rig.button("Cmd_SetTime")->click();
    rig.button("Cmd_Reset_Start")->click();
    QVERIFY(!rig.anyMaskedVisible());
    QCOMPARE(rig.label("Lbl_Phase")->text(), QStringLiteral("動作状態：進行中"));
}

void PresentationTest::slaveBeforeAnyApply()
{
    Rig rig;
    rig.button("Cmd_Slave")->click();
    Slave *slave = rig.viewer.slave();
    QVERIFY(slave);
    QVERIFY(slave->isVisible());
    QVERIFY(slave->parentWidget() == nullptr);
    QCOMPARE(slave->timeLabel()->text(), QStringLiteral("--:--"));
    QCOMPARE(slave->timeLabel()->palette().color(QPalette::WindowText), QColor(0, 255, 0));
    QCOMPARE(slave->palette().color(QPalette::Window), QColor(0, 0, 0));
    QVERIFY(rig.viewer.isEnabled()); // modeless: the main window stays usable
}

void PresentationTest::oneSlaveAtMost()
{
    Rig rig;
    rig.button("Cmd_Slave")->click();
    Slave *first = rig.viewer.slave();
    rig.setTotal("7", "00");
    rig.button("Cmd_Slave")->click();
    QCOMPARE(rig.viewer.slave(), first);
    const QWidgetList windows = QApplication::topLevelWidgets();
    QCOMPARE(
        std::count_if(windows.begin(), windows.end(), [](const QWidget *w) { return w->inherits("Slave"); }),
        1);
    QCOMPARE(first->timeLabel()->text(), QStringLiteral("7:00"));
    // Pressed again, it copies the display anew, whether or not a change was announced (a text
    // written straight to the display announces none).
    rig.label("Lbl_Time")->setText(QStringLiteral("6:59"));
    QCOMPARE(first->timeLabel()->text(), QStringLiteral("7:00"));
    rig.button("Cmd_Slave")->click();
    QCOMPARE(first->timeLabel()->text(), QStringLiteral("6:59"));
}

void PresentationTest::slaveClosedAndReopenedCatchesUp()
{
    Rig rig;
    rig.setTotal("2", "00");
    rig.button("Cmd_Slave")->click();
    rig.start();
    rig.seconds(3);
    QPointer<Slave> first = rig.viewer.slave();
    first->close();
    QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), kPatienceMs);
    QVERIFY(rig.viewer.slave() == nullptr);
    rig.seconds(5); // the run goes on without it
    QCOMPARE(rig.display(), QStringLiteral("1:52"));
    rig.button("Cmd_Slave")->click();
    QCOMPARE(rig.viewer.slave()->timeLabel()->text(), QStringLiteral("1:52"));
    rig.second();
    QCOMPARE(rig.viewer.slave()->timeLabel()->text(), QStringLiteral("1:51"));
}

void PresentationTest::projectorShowsWhatTheDisplayShows_data()
{
    QTest::addColumn<QString>("change");
    for (const char *change : {"apply", "tick", "bell colours", "blink", "超過", "shown again after a reset"})
        QTest::newRow(change) << QString::fromUtf8(change);
}

// No step of the clock or of the operator writes to the projector: it takes the display as it
// changes, whoever changed it.
void PresentationTest::projectorShowsWhatTheDisplayShows()
{
    QFETCH(QString, change);
    Rig rig;
    rig.setBell(1, "0", "05");
    rig.button("Cmd_Slave")->click();
    Slave *slave = rig.viewer.slave();
    rig.setTotal("0", "10");
    if (change != "apply") {
        rig.start();
        rig.second();
    }
    if (change == "bell colours") {
        rig.seconds(4);
    } else if (change == "blink") {
        rig.seconds(14);
        rig.blink();
    } else if (change == "超過") {
        rig.seconds(39);
    } else if (change == "shown again after a reset") {
        rig.button("Cmd_Pause")->click();
        slave->hide();
        rig.setTotal("1", "00");
        QCOMPARE(slave->timeLabel()->text(), QStringLiteral("0:09")); // a hidden window is not written
        slave->show();
    }
    QCOMPARE(slave->timeLabel()->text(), rig.display());
    QCOMPARE(slave->palette().color(QPalette::Window), rig.displayBack());
    QCOMPARE(slave->timeLabel()->palette().color(QPalette::WindowText), rig.displayFore());
}

void PresentationTest::closingTheMainWindowClosesSlave()
{
    Rig rig;
    rig.viewer.show();
    rig.button("Cmd_Slave")->click();
    QPointer<Slave> slave = rig.viewer.slave();
    rig.viewer.close();
    QTRY_VERIFY_WITH_TIMEOUT(slave.isNull(), kPatienceMs);
    // Closing again with no Slave left is just as quiet.
    rig.viewer.show();
    rig.viewer.close();
    QVERIFY(rig.viewer.slave() == nullptr);
}

void PresentationTest::slaveFullScreenByKeyAndDoubleClick()
{
    Rig rig;
    rig.button("Cmd_Slave")->click();
    Slave *slave = rig.viewer.slave();
    QVERIFY(QTest::qWaitForWindowExposed(slave, kPatienceMs));
    // With one screen it opens as any new window, at its design size.
    QCOMPARE(QGuiApplication::screens().size(), 1);
    QVERIFY(!slave->isFullScreen());
    QCOMPARE(slave->size(), QSize(960, 695));
    QTest::keyClick(slave, Qt::Key_F11);
    QTRY_VERIFY_WITH_TIMEOUT(slave->isFullScreen(), kPatienceMs);
    QTest::keyClick(slave, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!slave->isFullScreen(), kPatienceMs);
    QTest::mouseDClick(slave->timeLabel(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(slave->isFullScreen(), kPatienceMs);
    QTest::mouseDClick(slave, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!slave->isFullScreen(), kPatienceMs);
    QTest::keyClick(slave, Qt::Key_Escape); // not full screen: nothing happens
    QVERIFY(slave->isVisible());
}

void PresentationTest::runKeysWorkFromTheProjector()
{
    Rig rig;
    rig.button("Cmd_SetTime")->click();
    rig.button("Cmd_Slave")->click();
    Slave *slave = rig.viewer.slave();
    auto state = [&] { return rig.label("Lbl_Phase")->text(); };
    QTest::keyClick(slave, Qt::Key_F1);
    QCOMPARE(state(), QStringLiteral("動作状態：進行中"));
    rig.seconds(2);
    QTest::keyClick(slave, Qt::Key_7, Qt::KeypadModifier);
    QCOMPARE(state(), QStringLiteral("動作状態：一時停止中"));
    QTest::keyClick(slave, Qt::Key_Space);
    QCOMPARE(state(), QStringLiteral("動作状態：進行中"));
    QCOMPARE(rig.display(), QStringLiteral("5:00"));
    QTest::keyClick(slave, Qt::Key_F9);
    QCOMPARE(state(), QStringLiteral("動作状態：セットアップ中"));
    // F11 keeps its own meaning there, and runs no command.
    QTest::keyClick(slave, Qt::Key_F11);
    QTRY_VERIFY_WITH_TIMEOUT(slave->isFullScreen(), kPatienceMs);
    QTest::keyClick(slave, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!slave->isFullScreen(), kPatienceMs);
    QCOMPARE(state(), QStringLiteral("動作状態：セットアップ中"));
}

void PresentationTest::slaveOpensOnTheOtherScreen_data()
{
    QTest::addColumn<int>("operatorScreen");
    QTest::addColumn<int>("projectorScreen");
    QTest::newRow("main window on the first screen") << 0 << 1;
    QTest::newRow("main window on the second screen") << 1 << 0;
}

void PresentationTest::slaveOpensOnTheOtherScreen()
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (screens.size() < 2)
        QSKIP("needs two screens: run with tests/screens/two.json");
    QFETCH(int, operatorScreen);
    QFETCH(int, projectorScreen);
    Rig rig;
    rig.viewer.setScreen(screens[operatorScreen]);
    rig.viewer.move(screens[operatorScreen]->geometry().topLeft() + QPoint(20, 20));
    rig.viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.viewer, kPatienceMs));
    QTRY_COMPARE_WITH_TIMEOUT(rig.viewer.screen(), screens[operatorScreen], kPatienceMs);

    rig.button("Cmd_Slave")->click();
    Slave *slave = rig.viewer.slave();
    QTRY_VERIFY_WITH_TIMEOUT(slave->isFullScreen(), kPatienceMs);
    QTRY_COMPARE_WITH_TIMEOUT(slave->screen(), screens[projectorScreen], kPatienceMs);
    QTRY_COMPARE_WITH_TIMEOUT(slave->geometry(), screens[projectorScreen]->geometry(), kPatienceMs);

    // Once open, it stays where the operator puts it when the button is pressed again.
    QTest::keyClick(slave, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!slave->isFullScreen(), kPatienceMs);
    const QPoint put = screens[operatorScreen]->geometry().topLeft() + QPoint(100, 100);
    slave->move(put);
    QTRY_COMPARE_WITH_TIMEOUT(slave->pos(), put, kPatienceMs);
    rig.button("Cmd_Slave")->click();
    QCOMPARE(rig.viewer.slave(), slave);
    QVERIFY(!slave->isFullScreen());
    QCOMPARE(slave->pos(), put);
}

void PresentationTest::drawnTextStaysInsideTheBox_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QSize>("box");
    // Each run repaints one label through a series of texts and box sizes; the last is checked.
    QTest::newRow("longer text") << QStringList{"5:00", "9:59", "546:08"} << QSize(400, 150);
    QTest::newRow("back to shorter") << QStringList{"546:08", "5:00", "-546:-08"} << QSize(400, 150);
    QTest::newRow("same pattern") << QStringList{"546:08", "123:45"} << QSize(300, 200);
    // Tall enough for the font as it is: only the width makes it smaller.
    QTest::newRow("only the width binds") << QStringList{"546:08"} << QSize(400, 600);
}

void PresentationTest::drawnTextStaysInsideTheBox()
{
    QFETCH(QStringList, texts);
    QFETCH(QSize, box);
    DisplayLabel label;
    label.setFont(QFont(QStringLiteral("IPAGothic"), 240));
    QPalette palette = label.palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, Qt::green);
    label.setPalette(palette);
    label.setAutoFillBackground(true);
    label.resize(QSize(900, 400));
    QImage image;
    for (const QString &text : texts) {
        label.setText(text);
        image = label.grab().toImage(); // paints at each size the label had before
        label.resize(box);
    }
    image = label.grab().toImage();
    QCOMPARE(image.size(), box * image.devicePixelRatio());
    auto greenIn = [&](QRect area) {
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (qGreen(image.pixel(x, y)) > 128)
                    return true;
        return false;
    };
    const int w = image.width(), h = image.height();
    QVERIFY(greenIn(QRect(0, 0, w, h)));
    QVERIFY2(!greenIn(QRect(0, 0, 1, h)) && !greenIn(QRect(w - 1, 0, 1, h)), "clipped at a side");
    QVERIFY2(!greenIn(QRect(0, 0, w, 1)) && !greenIn(QRect(0, h - 1, w, 1)), "clipped at top or bottom");
}

void PresentationTest::projectorInkFillsTheWindow_data()
{
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QString>("text");
    for (const QSize size :
         {QSize(1600, 900), QSize(1920, 1080), QSize(1024, 768), QSize(1800, 300), QSize(320, 180)})
        for (const char *text : {"5:00", "12:34", "546:07", "超過", "--:--"})
            QTest::addRow("%dx%d %s", size.width(), size.height(), text) << size << QString::fromUtf8(text);
}

void PresentationTest::projectorInkFillsTheWindow()
{
    QFETCH(QSize, window);
    QFETCH(QString, text);
    Slave slave;
    slave.show();
    slave.resize(window);
    const QImage image = projected(slave, text);
    QCOMPARE(image.size(), window);
    const QRect ink = inkBounds(image, slave.palette().color(QPalette::Window).rgb());
    const QString where =
        QStringLiteral("ink at %1,%2 %3x%4").arg(ink.x()).arg(ink.y()).arg(ink.width()).arg(ink.height());
    // Whichever side binds, the ink spans most of it...
    const qreal share = std::max(qreal(ink.width()) / window.width(), qreal(ink.height()) / window.height());
    QVERIFY2(share >= 0.8, qPrintable(where));
    // ...and keeps 4 % of the width and of the height clear on every side (less a pixel of the
    // antialiased edge).
    const int marginX = window.width() * 4 / 100, marginY = window.height() * 4 / 100;
    const int gapX = std::min(ink.left(), window.width() - 1 - ink.right());
    const int gapY = std::min(ink.top(), window.height() - 1 - ink.bottom());
    QVERIFY2(gapX >= marginX - 1 && gapY >= marginY - 1, qPrintable(where));
    // Digits are placed for the ink the widest of them would leave; a text without any reaches
    // the margin on the side that binds.
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); }))
        QVERIFY2(gapX <= marginX + 1 || gapY <= marginY + 1, qPrintable(where));
}

void PresentationTest::messageUnderTheTime_data()
{
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("lines");
    // The longest a message may be: 80 characters.
    const QString longest = QStringLiteral(
        "会場の皆様へ、次の発表は十五時から第二会場で始まります。質疑応答は十分間、"
        "マイクをお使いください。時間になりましたら司会が合図しますので皆様ご協力をお願いします");
    QCOMPARE(longest.size(), 80);
    for (const QSize size : {QSize(1920, 1080), QSize(1024, 768), QSize(1800, 300), QSize(320, 180)}) {
        QTest::addRow("%dx%d short", size.width(), size.height()) << size << QStringLiteral("時間です") << 1;
        QTest::addRow("%dx%d 80 characters", size.width(), size.height()) << size << longest << 2;
    }
}

// While a message shows, the time keeps the upper 70 % and fills it as it fills a whole window;
// the message fills the band below, in the time's colour, never cut and never over the time.
void PresentationTest::messageUnderTheTime()
{
    QFETCH(QSize, window);
    QFETCH(QString, message);
    QFETCH(int, lines);
    Slave slave;
    slave.show();
    slave.resize(window);
    Viewer::Shown shown;
    shown.text = QStringLiteral("12:34");
    shown.background = kBlack;
    shown.foreground = kGreen;
    shown.message = message;
    shown.band = message;
    slave.follow(shown);
    auto *label = ctl<QLabel>(slave, QStringLiteral("Lbl_Message"));
    QVERIFY(label->isVisible());
    QCOMPARE(static_cast<MessageLabel *>(label)->lines().size(), lines);
    QCoreApplication::sendPostedEvents(&slave, QEvent::LayoutRequest);
    const QImage image = slave.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int split = static_cast<int>(window.height() * 0.7);
    const QRect areas[] = {QRect(0, 0, window.width(), split),
                           QRect(0, split, window.width(), window.height() - split)};
    const qreal least[] = {0.8, 0.6};
    for (int i = 0; i < 2; ++i) {
        const QRect ink = inkBounds(image.copy(areas[i]), kBlack.rgb());
        const qreal share =
            std::max(qreal(ink.width()) / areas[i].width(), qreal(ink.height()) / areas[i].height());
        QVERIFY2(share >= least[i],
                 qPrintable(QStringLiteral("area %1: ink %2x%3").arg(i).arg(ink.width()).arg(ink.height())));
        QVERIFY2(ink.left() >= 1 && ink.top() >= 1 && ink.right() <= areas[i].width() - 2 &&
                     ink.bottom() <= areas[i].height() - 2,
                 qPrintable(QStringLiteral("area %1: ink at %2,%3 %4x%5")
                                .arg(i)
                                .arg(ink.x())
                                .arg(ink.y())
                                .arg(ink.width())
                                .arg(ink.height())));
    }

    // Cleared, the time has the whole window again.
    shown.message.clear();
    shown.band.clear();
    slave.follow(shown);
    QVERIFY(label->isHidden());
    QCoreApplication::sendPostedEvents(&slave, QEvent::LayoutRequest);
    const QRect whole = inkBounds(slave.grab().toImage().convertToFormat(QImage::Format_RGB32), kBlack.rgb());
    QVERIFY(std::max(qreal(whole.width()) / window.width(), qreal(whole.height()) / window.height()) >= 0.8);
}

void PresentationTest::messageBreaksBetweenPhrases_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("split");
    QTest::newRow("after a particle, not inside まとめ")
        << QStringLiteral("あと3分でまとめてください") << QStringList{"あと3分で", "まとめてください"};
    // The full stop's longer line at 10 characters against the particle's 8: 1.25 times, still taken.
    QTest::newRow("full stop at the allowance") << QStringLiteral("時間です。質疑に移ってください")
                                                << QStringList{"時間です。", "質疑に移ってください"};
    // 9.5 against 7.5: past it, the particle wins.
    QTest::newRow("full stop past the allowance") << QStringLiteral("時間です。Q&Aに移ってください")
                                                  << QStringList{"時間です。Q&Aに", "移ってください"};
    QTest::newRow("Latin word whole")
        << QStringLiteral("Zoomの音声が聞こえません") << QStringList{"Zoomの音声が", "聞こえません"};
    // Qt would part "１３時３|０分" (the most balanced) and "１３時３０|分再開" (as balanced as "１３時").
    QTest::newRow("full-width number with its counter")
        << QStringLiteral("１３時３０分再開") << QStringList{"１３時", "３０分再開"};
    // "13時30 / 分再開" would be the most balanced; "13時 / 30分再開" is as balanced as this.
    QTest::newRow("time of day") << QStringLiteral("13時30分再開") << QStringList{"13時30分", "再開"};
    QTest::newRow("after a reason") << QStringLiteral("時間になりましたのでまとめてください")
                                    << QStringList{"時間になりましたので", "まとめてください"};
    QTest::newRow("honorific prefix with its word") << QStringLiteral("本日はご協力ありがとうございました")
                                                    << QStringList{"本日は", "ご協力ありがとうございました"};
    // No break keeps a word whole: Qt's most balanced one.
    QTest::newRow("nothing but a word")
        << QStringLiteral("ＰＯＷＥＲＰＯＩＮＴ") << QStringList{"ＰＯＷＥＲ", "ＰＯＩＮＴ"};
    QTest::newRow("80 characters, at the comma nearest the middle")
        << QStringLiteral(
               "会場の皆様へ、次の発表は十五時から第二会場で始まります。質疑応答は十分間、"
               "マイクをお使いください。時間になりましたら司会が合図しますので皆様ご協力をお願いします")
        << QStringList{
               "会場の皆様へ、次の発表は十五時から第二会場で始まります。質疑応答は十分間、",
               "マイクをお使いください。時間になりましたら司会が合図しますので皆様ご協力をお願いします"};
}

// A band too narrow for one line: the message parts where a reader expects it to, and every
// character of it, digits and Latin letters too, comes from one face at one weight.
void PresentationTest::messageBreaksBetweenPhrases()
{
    QFETCH(QString, message);
    QFETCH(QStringList, split);
    Slave slave;
    auto *label = ctl<MessageLabel>(slave, QStringLiteral("Lbl_Message"));
    label->setText(message);
    label->fillBand(QRect(0, 0, 400, 200));
    QCOMPARE(label->lines(), split);

    QTextLayout layout(message, label->face());
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    QVERIFY(!runs.isEmpty());
    for (const QGlyphRun &run : runs) {
        QCOMPARE(run.rawFont().familyName(), runs.first().rawFont().familyName());
        QCOMPARE(run.rawFont().weight(), runs.first().rawFont().weight());
    }
}

void PresentationTest::messageBlinksThreeTimesThenStays()
{
    Slave slave;
    Viewer::Shown shown;
    shown.text = QStringLiteral("1:00");
    shown.message = QStringLiteral("まとめに入ってください");
    shown.band = shown.message;
    slave.follow(shown);
    auto *blink = ctl<QTimer>(slave, QStringLiteral("MessageBlink"));
    QVERIFY(blink->isActive());
    int changes = 0;
    while (blink->isActive() && changes < 20) {
        QVERIFY(QMetaObject::invokeMethod(blink, "timeout"));
        ++changes;
    }
    QCOMPARE(changes, 6);
    QVERIFY(!ctl<QLabel>(slave, QStringLiteral("Lbl_Message"))->isHidden());
    // The same message again is no new message.
    slave.follow(shown);
    QVERIFY(!blink->isActive());
}

void PresentationTest::projectorDigitsKeepTheirPlace()
{
    // The fit is the same whichever digits show: the colon between narrow ones stands exactly
    // where it stands between wide ones.
    Slave slave;
    slave.show();
    slave.resize(1600, 900);
    const QRect colon(790, 0, 20, 900);
    const QImage wide = projected(slave, QStringLiteral("00:00")).copy(colon);
    const QImage narrow = projected(slave, QStringLiteral("11:11")).copy(colon);
    QVERIFY(inkBounds(wide, slave.palette().color(QPalette::Window).rgb()).height() > 100);
    QCOMPARE(narrow, wide);
}

void PresentationTest::projectorShowsNoStaleInk()
{
    // A new second repaints only the label, which takes no more than its text's ink: after each
    // change, what the window shows is what a window opened on that text shows.
    Slave slave;
    slave.show();
    slave.resize(1600, 900);
    QVERIFY(QTest::qWaitForWindowExposed(&slave, kPatienceMs));
    for (const char *text : {"9:59", "10:00", "超過", "10:01", "--:--", "546:07", "5:00"}) {
        slave.timeLabel()->setText(QString::fromUtf8(text));
        Slave opened;
        opened.timeLabel()->setText(QString::fromUtf8(text));
        opened.show();
        opened.resize(slave.size());
        const QImage expected = opened.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QTRY_COMPARE_WITH_TIMEOUT(
            slave.screen()->grabWindow(slave.winId()).toImage().convertToFormat(QImage::Format_RGB32),
            expected, kPatienceMs);
    }
}

void PresentationTest::slaveNoLargerThanTheDesktop()
{
    // Each pixel of the window costs memory.
    Slave slave;
    slave.show();
    slave.resize(32000, 32000);
    QVERIFY(slave.width() <= 3840 && slave.height() <= 2160);
}

void PresentationTest::mainDisplayFitsTheWidestText()
{
    Rig rig;
    QLabel *time = rig.label("Lbl_Time");
    QVERIFY(qobject_cast<DisplayLabel *>(time));
    for (const QString &text : QStringList{"546:08", "超過", "--:--"}) {
        const QFont font = DisplayLabel::fittedFont(time->font(), text, time->contentsRect().size());
        QVERIFY2(DisplayLabel::textWidth(font, text) <= time->contentsRect().width(), qPrintable(text));
        QVERIFY(font.pointSizeF() > 150); // still big
    }
}

void PresentationTest::slaveLandsOnARemainingScreen()
{
    const QRect laptop(0, 0, 1920, 1080);
    const QRect projector(1920, 0, 1280, 1024);
    const QRect available(0, 0, 1920, 1040);
    // Full screen on the projector, which is unplugged: back to the laptop's screen.
    QCOMPARE(Slave::placementAfterScreenLoss(projector, {laptop}, available),
             std::optional<QPoint>(QPoint(0, 0)));
    // Still partly on a remaining screen: left where it is.
    QCOMPARE(Slave::placementAfterScreenLoss(QRect(1800, 100, 400, 300), {laptop}, available), std::nullopt);
    // The other screen is the one that went: nothing to do.
    QCOMPARE(Slave::placementAfterScreenLoss(projector, {laptop, projector}, available), std::nullopt);
}

void PresentationTest::overTimeSignWithoutColour_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("remaining");
    QTest::addColumn<bool>("sign");
    QTest::newRow("running over") << int(RunState::Running) << -1 << true;
    QTest::newRow("running at zero") << int(RunState::Running) << 0 << false;
    QTest::newRow("paused over") << int(RunState::Paused) << -30 << true;
    QTest::newRow("reset after over-time") << int(RunState::Setup) << -30 << false;
}

// Over-time is said by a sign as well as by the colours, for those who cannot tell them apart.
void PresentationTest::overTimeSignWithoutColour()
{
    QFETCH(int, state);
    QFETCH(int, remaining);
    QFETCH(bool, sign);
    Slave slave;
    slave.show();
    Viewer::Shown shown;
    shown.text = QStringLiteral("0:30");
    shown.state = static_cast<RunState>(state);
    shown.remaining = remaining;
    slave.follow(shown);
    QCOMPARE(ctl<QLabel>(slave, QStringLiteral("OverTimeSign"))->isVisible(), sign);
}

QTEST_MAIN(PresentationTest)
#include "tst_presentation.moc"
