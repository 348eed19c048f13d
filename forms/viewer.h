#pragma once

#include <QDateTime>
#include <QHash>
#include <QPointer>
#include <QWidget>
#include <array>

class Platform;
class Slave;
class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QTimer;

// The operator's main window. Its controls are the program's state: every handler reads and
// writes their texts, captions, colours and visibility directly. Handlers are slots under the
// names of the control and event they belong to, so a press, a key or a test can run them alike.
// Their bodies live beside the subsystem they belong to (app/, engine/, setup/, forms/).
class Viewer : public QWidget {
    Q_OBJECT
public:
    explicit Viewer(Platform &platform, QWidget *parent = nullptr);
    ~Viewer() override;

    // The secondary window, or nullptr while none exists.
    Slave *slave() const;

    // The caption of every message box.
    static QString programTitle();
    // Ends the titles of both windows.
    static QString tagLine();

    // Shared by the clock, run control and the setting commands; see the handlers for who
    // computes them when. Every reader computes them afresh before use.
    QDateTime StartTime;
    QDateTime EndTime;
    qint16 RemainingSeconds = 0;
    qint16 ClockMinutes = 0;
    qint16 ClockSeconds = 0;

public slots:
    // Start-up and shutdown (app/)
    void Form_Load();
    void Form_Unload();
    void Cmd_End_Click();
    void Lbl_Copyright_DblClick();

    // Countdown engine (engine/)
    void Timer_PresentTime_Timer();
    void Timer_Alert_Timer();
    void ApplyScreenColors();
    void Cmd_Start_Click();
    void Cmd_Pause_Click();
    void Cmd_Reset_Click();
    void Cmd_Reset_Start_Click();
    void Img_Start_Click();
    void Img_ReStart_Click();
    void Img_Pause_Click();
    void Img_Stop_Click();
    void Form_KeyDown(short KeyCode, short Shift);

    // Timer setup (setup/)
    void Txt_Time_Min_LostFocus();
    void Txt_Time_Sec_LostFocus();
    void UpDown_Min_Change();
    void UpDown_Sec_Change();
    void Cmd_SetTime_1touch_Click(short Index);
    void Cmd_SetTime_Click();
    void Cmd_SetBell1_Click();
    void Cmd_SetBell2_Click();
    void Cmd_SetBell3_Click();
    void Txt_Bell_1_Min_Change();
    void Txt_Bell_2_Min_Change();
    void Txt_Bell_3_Min_Change();
    void Txt_Bell_1_Sec_Change();
    void Txt_Bell_2_Sec_Change();
    void Txt_Bell_3_Sec_Change();
    void Option_Bell1_OnOff_Click(short Index);
    void Option_Bell2_OnOff_Click(short Index);
    void Option_Bell3_OnOff_Click(short Index);
    void Cmd_Alerm_Files_Click();
    void Cmd_Bell1_Files_Click();
    void Cmd_Bell2_Files_Click();
    void Cmd_Bell3_Files_Click();
    void Cmd_PlaySound_Alerm_Click();
    void Cmd_PlaySound1_Click();
    void Cmd_PlaySound2_Click();
    void Cmd_PlaySound3_Click();

    // Presentation (forms/)
    void Check_Mask_Click();
    void Cmd_Slave_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *control(const QString &name) const;
    template <class T> T *control(const QString &name) const { return qobject_cast<T *>(control(name)); }
    QLabel *label(const QString &name) const;
    QLineEdit *textBox(const QString &name) const;
    QString dataPath(const QString &folder, const QString &file) const;
    void press(const QString &button) const;
    void setClockRunning(bool running);
    bool ticked(const QString &checkBox) const;
    void showValidationMessage();
    void playSoundOf(const QString &pathBox);
    void copyDisplayTo(Slave *target) const;
    // One warning bell's controls: the three bells share every handler through this.
    struct Bell {
        QLineEdit *minutes, *seconds, *sound;
        QLabel *committed, *pilot;
        QAbstractButton *set, *on, *ringer, *colour;
        QComboBox *back, *fore;
    };
    const Bell &bell(int number) const { return bells_[static_cast<std::size_t>(number - 1)]; }
    void findBells();
    void commitBell(int bell);
    void bellMinutesChanged(int bell);
    void bellSecondsChanged(int bell);
    void bellSwitched(int bell, short index);
    void bellIfDue(int bell);
    void applyColorNames(const QComboBox *backList, const QComboBox *foreList);
    void chooseSoundFile(const QString &pathBox);

    void wireHandlers();
    void watchControls();
    void showSoundOutput(bool available);
    void anchorCountdown(qint64 msLeft);
    // The run button a shortcut key presses (its Windows key code), or nullptr.
    static const char *commandForKey(int keyCode);
    void countTowardsEndTime();

    Platform &platform_;
    QHash<QString, QWidget *> controls_;
    std::array<Bell, 3> bells_{};
    QTimer *Timer_PresentTime;
    QTimer *Timer_Alert;
    QPointer<Slave> slave_;
    QLabel *soundWarning_;
    bool previewingKey_ = false;
    // The end moment on the steady clock, and the EndTime it was taken from: the tick counts on
    // the steady clock, so that setting the system clock moves nothing that counts.
    qint64 deadlineMs_ = 0;
    QDateTime anchoredEnd_;
};
