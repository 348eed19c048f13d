#pragma once

#include "engine/runstate.h"
#include "forms/shown.h"
#include "forms/shownfeed.h"
#include "forms/talkport.h"
#include "forms/viewercontrols.h"
#include "programme/programme.h"

#include <QColor>
#include <QDateTime>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <optional>
#include <utility>

class Platform;
class QMenu;
class Slave;
class QComboBox;
class QLabel;
class QLineEdit;
class QTimer;

// The operator's main window. Its controls are the program's state: every handler reads and
// writes their texts, captions, colours and visibility directly. Handlers are slots under the
// names of the control and event they belong to, so a press, a key or a test can run them alike.
// Their bodies live beside the subsystem they belong to (app/, engine/, setup/, forms/).
class Viewer : public QWidget, public TalkPort, private ViewerControls {
    Q_OBJECT
public:
    explicit Viewer(Platform &platform, QWidget *parent = nullptr);
    ~Viewer() override;

    // The secondary window, or nullptr while none exists.
    Slave *slave() const;

    using RunState = ::RunState;
    using Shown = ::Shown;
    // The window's own part of what the screens show: the display's text and colours, the run
    // state and the remaining time.
    Shown shown() const;
    // What the screens show, the window's part with those of the other parts of the program.
    ShownFeed &feed() const { return *feed_; }

    // The caption of every message box.
    static QString programTitle();
    // Ends the titles of both windows.
    static QString tagLine();

    // A sign in the bottom strip for something the operator must know about and that a part of the
    // program cannot mend by itself (`detail` as its tooltip); empty removes it. It shares the
    // place of the sound's own sign when both are up.
    void showNotice(const QString &text, const QString &detail = {});
    // The talk port (see TalkPort).
    RunState runState() const override;
    PreparedTalk setupNow() const override;
    void prepareTalk(const PreparedTalk &talk) override;
    void showSessionLine(const QString &line, bool warning) override;

    // A key (its Windows key code) that another part of the program acts on, from the projector
    // window too, where a clicker may send it; used up only while `available` says so, and acted on
    // once however long it is held.
    void addKeyAction(int keyCode, std::function<bool()> available, std::function<void()> act);
    // Asked before the program ends (the window closed, QORを終了): false keeps it running, as when
    // the chair goes back from a question about unsaved changes.
    void addCloseCheck(std::function<bool()> mayEnd);

    // Shared by the clock, run control and the setting commands; see the handlers for who
    // computes them when. Every reader computes them afresh before use.
    QDateTime StartTime;
    QDateTime EndTime;
    qint16 RemainingSeconds = 0;
    qint16 ClockMinutes = 0;
    qint16 ClockSeconds = 0;

signals:
    // What shown() returns has changed: the big display's text or colours, the run state.
    void shownChanged();
    // The context menu (right click) is about to open: others add what they offer.
    void contextMenuOpening(QMenu *menu);
    // The chair moved the remaining time by this many seconds.
    void remainingAdjusted(int seconds);
    // The window was closed: the program ends, and whatever else it shows or serves with it.
    void closed();
    // The run state changed (the state line was written): a start, a pause, a resume, or a run's
    // end (to set-up), `restarting` when it ends to begin again at once (ReStart).
    void runStateChanged(RunState from, RunState to, bool restarting);
    // Moments of a run, as the tick reaches them: a bell's second (whether or not it rings or
    // recolours), zero, and each half minute of over-time (`remaining` is then negative).
    void bellDue(int number);
    void zeroReached();
    void overTimeHalfMinute(int remaining);

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

    // A minute more or less (engine/)
    void adjustRemaining(int seconds);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // The texts that handlers hand to each other through controls, each read and written in one
    // place (forms/statetexts.cpp).
    enum class PhaseMarker { Presentation, OverTime, Wink };
    struct DisplayedTime {
        std::optional<qint16> minutes, seconds; // nullopt: that part is beyond 16 bits
    };
    bool phaseIs(PhaseMarker marker) const;
    void setPhase(PhaseMarker marker);
    std::optional<double> committedSeconds(int bell) const; // nullopt: not committed yet
    void setCommittedSeconds(int bell, qint16 seconds);
    std::optional<DisplayedTime> displayedTime() const; // nullopt: the display is not a time
    // The display's text says no sign, so the seconds it stands for (negative in over-time) are
    // kept beside the text it was written as; nullopt once anything else wrote it.
    std::optional<qint16> displayedSeconds() const;
    void setDisplayedTime(qint16 minutes, const QString &seconds, qint16 signedSeconds);
    void showOverTimeWord(qint16 signedSeconds);
    void showOnDisplay(const QString &text, qint16 signedSeconds);
    std::pair<QString, QString> colorNames() const; // background, text
    void setColorNames(const QString &back, const QString &fore);
    void showRunState(RunState state);
    void showEndTime(const QDateTime &end); // an invalid one: no end planned
    std::optional<double> appliedTotal() const;
    void setAppliedTotal(int seconds);

    const Bell &bell(int number) const { return bells[static_cast<std::size_t>(number - 1)]; }
    std::array<QGroupBox *, 5> settingFrames() const;
    QString dataPath(const QString &folder, const QString &file) const;
    void setClockRunning(bool running);
    void showValidationMessage();
    void showOnProjector(const Shown &shown);
    void commitBell(int bell);
    void bellMinutesChanged(int bell);
    void bellSecondsChanged(int bell);
    void bellSwitched(int bell, short index);
    void bellIfDue(int bell);
    void applyColorNames(const QComboBox *backList, const QComboBox *foreList);
    void chooseSoundFile(QLineEdit *pathBox);
    void anchorCountdown(qint64 msLeft);
    void countTowardsEndTime();
    void showElapsedShare();
    void showCountAt(qint16 remaining);
    void applyPassedBellColours(qint16 remaining);
    // The run button a shortcut key presses (its Windows key code), or nullptr.
    QPushButton *commandForKey(int keyCode) const;

    void wireHandlers();
    void showSoundOutput(bool available);
    void layOutSigns();
    void showContextMenu(const QPoint &at);
    bool mayEnd() const;
    // The action that a key of another part runs now, or none.
    std::function<void()> keyActionFor(int keyCode) const;

    Platform &platform_;
    QTimer *Timer_PresentTime;
    QTimer *Timer_Alert;
    QPointer<Slave> slave_;
    ShownFeed *feed_;
    struct KeyAction {
        std::function<bool()> available;
        std::function<void()> act;
    };
    std::map<int, KeyAction> keyActions_;
    std::vector<std::function<bool()>> closeChecks_;
    // The second an adjustment jumped to, while the clock has not counted away from it.
    std::optional<qint16> quietSecond_;
    QLabel *soundWarning_ = nullptr;
    QLabel *notice_ = nullptr;
    QLabel *sessionLine_ = nullptr;
    // The boxes whose focus-loss handlers run when the focus leaves them for another control.
    std::array<std::pair<QLineEdit *, void (Viewer::*)()>, 2> lostFocus_{};
    bool previewingKey_ = false;
    bool restarting_ = false; // within ReStart, between its reset and its start
    // The end moment on the steady clock, and the EndTime it was taken from: the tick counts on
    // the steady clock, so that setting the system clock moves nothing that counts.
    qint64 deadlineMs_ = 0;
    QDateTime anchoredEnd_;
    QString shownText_; // what the program last wrote on the display, and the seconds it meant
    qint16 shownSeconds_ = 0;
};
