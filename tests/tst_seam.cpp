// Written against the published test seam alone (the Platform interface, Viewer and Slave, the
// handler names and the control kinds), the way another team's suite would be: if this compiles,
// links and passes, theirs can too.

#include "forms/slave.h"
#include "forms/viewer.h"
#include "platform/platform.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

namespace {

// Long enough for a busy machine.
constexpr int kPatienceMs = 30000;

// Only the six methods every fake is written against.
class MinimalPlatform : public Platform {
public:
    QDateTime clock{QDate(2026, 4, 1), QTime(9, 0, 0)};
    QStringList sounds;
    QStringList messages;
    int quits = 0;

    QDateTime now() const override { return clock; }
    void playSound(const QString &name) override { sounds << name; }
    void showMessage(const QString &text, const QString &caption) override
    {
        messages << caption + ": " + text;
    }
    std::optional<QString> chooseWavFile(const QString &) override { return std::nullopt; }
    QString programFolder() const override { return QStringLiteral("/nowhere"); }
    void quit() override { ++quits; }
};

} // namespace

class SeamTest : public QObject {
    Q_OBJECT

private slots:
    void aTalkThroughTheSeam();
    void slaveLifetime();
};

void SeamTest::aTalkThroughTheSeam()
{
    MinimalPlatform platform;
    Viewer viewer(platform);
    viewer.Form_Load();
    QVERIFY(viewer.slave() == nullptr);

    viewer.findChild<QLineEdit *>(QStringLiteral("Txt_Time_Min"))->setText(QStringLiteral("0"));
    viewer.findChild<QLineEdit *>(QStringLiteral("Txt_Time_Sec"))->setText(QStringLiteral("02"));
    viewer.findChild<QAbstractButton *>(QStringLiteral("Cmd_SetTime"))->click();
    QVERIFY(QMetaObject::invokeMethod(&viewer, "Form_KeyDown", Q_ARG(short, 112), Q_ARG(short, 0)));
    QVERIFY(viewer.findChild<QTimer *>(QStringLiteral("Timer_PresentTime"))->isActive());

    auto *time = viewer.findChild<QLabel *>(QStringLiteral("Lbl_Time"));
    for (int second = 0; second <= 3; ++second) {
        QVERIFY(QMetaObject::invokeMethod(&viewer, "Timer_PresentTime_Timer"));
        platform.clock = platform.clock.addSecs(1);
    }
    QCOMPARE(time->text(), QStringLiteral("0:01"));
    QCOMPARE(time->palette().color(QPalette::Window), QColor(255, 0, 0));
    QCOMPARE(platform.sounds.size(), 1); // the zero second, ticked once here
    QVERIFY(QMetaObject::invokeMethod(&viewer, "Cmd_SetTime_1touch_Click", Q_ARG(short, 0)));
    QVERIFY(QMetaObject::invokeMethod(&viewer, "Option_Bell1_OnOff_Click", Q_ARG(short, 0)));
    QVERIFY(QMetaObject::invokeMethod(&viewer, "Cmd_End_Click"));
    QCOMPARE(platform.quits, 1);
}

void SeamTest::slaveLifetime()
{
    MinimalPlatform platform;
    Viewer viewer(platform);
    viewer.Form_Load();
    viewer.findChild<QAbstractButton *>(QStringLiteral("Cmd_Slave"))->click();
    QPointer<Slave> slave = viewer.slave();
    QVERIFY(slave);
    QVERIFY(slave->parentWidget() == nullptr);
    QCOMPARE(slave->findChild<QLabel *>(QStringLiteral("Lbl_Time"))->text(), QStringLiteral("--:--"));
    slave->close();
    QTRY_VERIFY_WITH_TIMEOUT(slave.isNull(), kPatienceMs); // destroyed, and the main window knows it
    QVERIFY(viewer.slave() == nullptr);
}

QTEST_MAIN(SeamTest)
#include "tst_seam.moc"
