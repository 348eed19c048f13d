// The screen mask and the projector window: what hides and shows, and a time display that fits
// any window without clipping.

#include "forms/displaylabel.h"
#include "forms/slave.h"
#include "rig.h"

#include <QPointer>
#include <QProgressBar>

namespace {

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

} // namespace

class PresentationTest : public QObject {
    Q_OBJECT

private slots:
    void maskingWhileBlack();
    void unmaskingBeforeAnyApplyShowsEveryFrame();
    void resetWhileMaskedStaysMasked();
    void startAndRestartReapplyTheMask();
    void slaveBeforeAnyApply();
    void oneSlaveAtMost();
    void slaveClosedAndReopenedCatchesUp();
    void closingTheMainWindowClosesSlave();
    void slaveFullScreenByKeyAndDoubleClick();
    void runKeysWorkFromTheProjector();
    void drawnTextStaysInsideTheBox_data();
    void drawnTextStaysInsideTheBox();
    void displayFitsEveryWindow_data();
    void displayFitsEveryWindow();
    void digitsGrowWithTheWindow();
    void mainDisplayFitsTheWidestText();
    void digitsHaveOneWidth();
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

void PresentationTest::displayFitsEveryWindow_data()
{
    QTest::addColumn<QSize>("window");
    for (const QSize size :
         {QSize(320, 240), QSize(640, 480), QSize(960, 695), QSize(1024, 768), QSize(1280, 720),
          QSize(1920, 1080), QSize(2560, 1440), QSize(3840, 2160), QSize(3840, 600), QSize(400, 2000)})
        QTest::addRow("%dx%d", size.width(), size.height()) << size;
}

void PresentationTest::drawnTextStaysInsideTheBox_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QSize>("box");
    // Each run repaints one label through a series of texts and box sizes; the last is checked.
    QTest::newRow("longer text") << QStringList{"5:00", "9:59", "546:08"} << QSize(400, 150);
    QTest::newRow("back to shorter") << QStringList{"546:08", "5:00", "-546:-08"} << QSize(400, 150);
    QTest::newRow("same pattern") << QStringList{"546:08", "123:45"} << QSize(300, 200);
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

void PresentationTest::displayFitsEveryWindow()
{
    QFETCH(QSize, window);
    Slave slave;
    slave.show();
    slave.resize(window);
    QLabel *label = slave.timeLabel();
    QVERIFY(QRect(QPoint(0, 0), window).contains(label->geometry()));
    for (const QString &text :
         QStringList{"--:--", "0:00", "5:00", "59:59", "546:07", "546:08", "超過", "-546:-08"}) {
        label->setText(text);
        const QFont font = DisplayLabel::fittedFont(label->font(), text, label->contentsRect().size());
        QVERIFY2(DisplayLabel::textWidth(font, text) <= label->contentsRect().width(), qPrintable(text));
        QVERIFY2(QFontMetricsF(font).height() <= label->contentsRect().height(), qPrintable(text));
    }
}

void PresentationTest::digitsGrowWithTheWindow()
{
    Slave slave;
    slave.show();
    auto drawnPoints = [&](QSize size) {
        slave.resize(size);
        const QLabel *label = slave.timeLabel();
        return DisplayLabel::fittedFont(label->font(), QStringLiteral("5:00"), label->contentsRect().size())
            .pointSizeF();
    };
    const qreal small = drawnPoints(QSize(640, 480));
    const qreal design = drawnPoints(QSize(960, 695));
    const qreal projector = drawnPoints(QSize(1920, 1080));
    QVERIFY(small < design);
    QVERIFY(design < projector);
    QVERIFY(projector > 1.4 * design);

    // Never larger than the desktop: each pixel of the window costs memory.
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

void PresentationTest::digitsHaveOneWidth()
{
    const QFont font = ctl<QLabel>(Slave(), "Lbl_Time")->font();
    const qreal width = DisplayLabel::textWidth(font, QStringLiteral("11:11"));
    for (const char *text : {"00:00", "88:88", "47:29"})
        QCOMPARE(DisplayLabel::textWidth(font, QString::fromLatin1(text)), width);
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

QTEST_MAIN(PresentationTest)
#include "tst_presentation.moc"
