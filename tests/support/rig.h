#pragma once

#include "fakeplatform.h"
#include "forms/viewer.h"
#include "session/sessionparts.h"
#include "support.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <optional>

// A main window after start-up with the session's parts, as the program makes them, and the clock
// in the test's hand. The clock ticks twice in each wall-clock second, as the real timer does.
struct Rig {
    FakePlatform platform;
    Viewer viewer{platform};
    std::optional<SessionParts> session; // made after start-up, gone before the window

    Rig()
    {
        viewer.Form_Load();
        session.emplace(viewer, platform);
    }
    SessionParts &parts() { return *session; }

    QLabel *label(const char *name) const { return ctl<QLabel>(viewer, name); }
    QLineEdit *box(const char *name) const { return ctl<QLineEdit>(viewer, name); }
    QAbstractButton *button(const QString &name) const { return ctl<QAbstractButton>(viewer, name); }
    QTimer *timer(const char *name) const { return ctl<QTimer>(viewer, name); }
    QString display() const { return label("Lbl_Time")->text(); }
    QColor displayBack() const { return label("Lbl_Time")->palette().color(QPalette::Window); }
    QColor displayFore() const { return label("Lbl_Time")->palette().color(QPalette::WindowText); }
    QString phase() const { return box("Txt_Phase")->text(); }

    void tick() { run(viewer, "Timer_PresentTime_Timer"); }
    void blink() { run(viewer, "Timer_Alert_Timer"); }
    // One wall-clock second later, then its two ticks.
    void second()
    {
        platform.advance(1);
        tick();
        tick();
    }
    void seconds(int count)
    {
        for (int i = 0; i < count; ++i)
            second();
    }

    void setTotal(const QString &minutes, const QString &seconds)
    {
        box("Txt_Time_Min")->setText(minutes);
        box("Txt_Time_Sec")->setText(seconds);
        button("Cmd_SetTime")->click();
    }
    void setBell(int bell, const QString &minutes, const QString &seconds, bool on = true)
    {
        const QString n = QString::number(bell);
        ctl<QLineEdit>(viewer, "Txt_Bell_" + n + "_Min")->setText(minutes);
        ctl<QLineEdit>(viewer, "Txt_Bell_" + n + "_Sec")->setText(seconds);
        button("Cmd_SetBell" + n)->click();
        button("Option_Bell" + n + "_OnOff_" + (on ? "0" : "1"))->click();
    }
    void start() { button("Cmd_Start")->click(); }
};
