#include "forms/viewer.h"

#include "forms/clicklabel.h"
#include "forms/colors.h"
#include "forms/displaylabel.h"
#include "forms/inventory.h"
#include "forms/slave.h"
#include "forms/spinbutton.h"
#include "platform/platform.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <stdexcept>

Viewer::Viewer(Platform &platform, QWidget *parent)
    : QWidget(parent), platform_(platform), Timer_PresentTime(new QTimer(this)), Timer_Alert(new QTimer(this))
{
    setObjectName(QStringLiteral("Viewer"));
    // Every control sits at its design position; a layout would stretch the window to fit the
    // 240-point display.
    setFixedSize(twipsToPixels(14508), twipsToPixels(10512));
    setAutoFillBackground(true);
    setBackColor(this, Palette::kWindowGrey);
    setWindowIcon(QIcon(QStringLiteral(":/podiumwatch/podiumwatch-32.png")));

    const QHash<QString, QWidget *> built = buildControls(this, viewerInventory());
    static_cast<ViewerControls &>(*this) = ViewerControls::resolve(built);

    Timer_PresentTime->setObjectName(QStringLiteral("Timer_PresentTime"));
    Timer_PresentTime->setInterval(500);
    Timer_PresentTime->setTimerType(Qt::PreciseTimer);
    Timer_Alert->setObjectName(QStringLiteral("Timer_Alert"));
    Timer_Alert->setInterval(250);
    Timer_Alert->setTimerType(Qt::PreciseTimer);

    // The spin arrows take no focus; chaining them would tangle the Tab order.
    QList<QWidget *> stops;
    for (const QString &name : viewerFocusOrder()) {
        QWidget *widget = built.value(name);
        if (!widget)
            throw std::runtime_error("The Tab order names a control the window lacks: " + name.toStdString());
        if (widget->focusPolicy() & Qt::TabFocus)
            stops << widget;
    }
    for (qsizetype i = 1; i < stops.size(); ++i)
        setTabOrder(stops[i - 1], stops[i]);
    stops.constFirst()->setFocus();

    // Not one of the designed controls: a sign in the free space of the bottom strip, which the
    // mask never hides, for the one failure an operator must know about before a bell is due.
    const auto sign = [this](const QString &name) {
        auto *label = new QLabel(this);
        label->setObjectName(name);
        label->setAlignment(Qt::AlignCenter);
        label->setAutoFillBackground(true);
        setBackColor(label, QColor(160, 0, 0));
        setForeColor(label, QColor(255, 255, 0));
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        label->hide();
        return label;
    };
    soundWarning_ = sign(QStringLiteral("SoundOutputWarning"));
    soundWarning_->setText(QStringLiteral("音が出ません"));
    soundWarning_->setToolTip(
        QStringLiteral("サウンド出力が見つかりません。見つかり次第、自動で復帰します。"));
    notice_ = sign(QStringLiteral("Notice"));
    layOutSigns();
    // Not a designed control either: the gap between the progress bar and the total's frame,
    // empty until another part of the program has something to say there.
    sessionLine_ = new QLabel(this);
    sessionLine_->setObjectName(QStringLiteral("SessionLine"));
    sessionLine_->setGeometry(twipsToPixels(120), twipsToPixels(5052), twipsToPixels(14292),
                              twipsToPixels(228));
    sessionLine_->setAutoFillBackground(true);
    sessionLine_->setTextFormat(Qt::PlainText);
    sessionLine_->setIndent(4);
    QFont small = sessionLine_->font();
    small.setPixelSize(std::max(10, sessionLine_->height() - 4));
    sessionLine_->setFont(small);
    sessionLine_->hide();

    // A minute more or less from the keypad. In set-up there is nothing to move, and its signs type
    // into the boxes as they did.
    const auto counting = [this] { return runState() != RunState::Setup; };
    addKeyAction(0x6B, counting, [this] { adjustRemaining(60); });  // Num +
    addKeyAction(0x6D, counting, [this] { adjustRemaining(-60); }); // Num -
    feed_ = new ShownFeed(this);
    feed_->addPart(this, [this](Shown &shown) { shown = this->shown(); });
    connect(this, &Viewer::shownChanged, feed_, &ShownFeed::refresh);
    wireHandlers();
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &Viewer::showContextMenu);
    // Key preview and focus loss: the window sees the keys and focus changes of every control.
    installEventFilter(this);
    for (QWidget *widget : built)
        widget->installEventFilter(this);
}

Viewer::~Viewer()
{
    if (Timer_PresentTime->isActive())
        platform_.keepDisplayAwake(false);
    // The secondary window has no parent; it must not outlive the window that writes into it.
    delete slave_.data();
}

Slave *Viewer::slave() const
{
    return slave_.data();
}

QString Viewer::programTitle()
{
    return QStringLiteral("ポディウォッチ");
}

QString Viewer::tagLine()
{
    return QStringLiteral(" - 講演・発表のためのタイマー");
}

std::array<QGroupBox *, 5> Viewer::settingFrames() const
{
    // Hidden at start-up until a total is applied; the mask hides them with Frm_Time.
    return {Frm_Bell1, Frm_Bell2, Frm_Bell3, Frm_Alert, Frm_Button};
}

void Viewer::setClockRunning(bool running)
{
    const bool wasRunning = Timer_PresentTime->isActive();
    if (running)
        Timer_PresentTime->start();
    else
        Timer_PresentTime->stop();
    if (running != wasRunning)
        platform_.keepDisplayAwake(running);
}

void Viewer::showValidationMessage()
{
    platform_.showMessage(QStringLiteral("時間として取り扱えない書式です。"), programTitle());
}

void Viewer::showSoundOutput(bool available)
{
    // A message box would stop the operator mid-talk; a sign that comes and goes by itself does not.
    soundWarning_->setVisible(!available);
    layOutSigns();
}

void Viewer::showNotice(const QString &text, const QString &detail)
{
    notice_->setText(text);
    notice_->setToolTip(detail);
    notice_->setVisible(!text.isEmpty());
    layOutSigns();
}

void Viewer::showSessionLine(const QString &line, bool warning)
{
    sessionLine_->setText(line);
    sessionLine_->setToolTip(line); // a long title is cut at the window's edge
    setBackColor(sessionLine_, warning ? QColor(160, 0, 0) : QColor(255, 255, 225));
    setForeColor(sessionLine_, warning ? QColor(255, 255, 0) : QColor(0, 0, 0));
    sessionLine_->setVisible(!line.isEmpty());
}

void Viewer::layOutSigns()
{
    // One place in the bottom strip: a sign alone takes all of it, two share it.
    const QRect place(twipsToPixels(2400), twipsToPixels(9960), twipsToPixels(2400), twipsToPixels(372));
    const bool both = !soundWarning_->isHidden() && !notice_->isHidden();
    QRect half = place;
    half.setWidth(place.width() / 2);
    soundWarning_->setGeometry(both ? half : place);
    notice_->setGeometry(both ? half.translated(half.width(), 0) : place);
}

namespace {

// A connection that did not take is a handler that would never run: stop at start-up instead.
void mustConnect(const QMetaObject::Connection &connection, const char *what)
{
    if (!connection)
        throw std::runtime_error(std::string("Could not wire ") + what);
}

} // namespace

void Viewer::wireHandlers()
{
    using Handler = void (Viewer::*)();
    const std::pair<QAbstractButton *, Handler> clicks[] = {
        {Cmd_Start, &Viewer::Cmd_Start_Click},
        {Cmd_Pause, &Viewer::Cmd_Pause_Click},
        {Cmd_Reset, &Viewer::Cmd_Reset_Click},
        {Cmd_Reset_Start, &Viewer::Cmd_Reset_Start_Click},
        {Cmd_End, &Viewer::Cmd_End_Click},
        {Cmd_SetTime, &Viewer::Cmd_SetTime_Click},
        {bell(1).set, &Viewer::Cmd_SetBell1_Click},
        {bell(2).set, &Viewer::Cmd_SetBell2_Click},
        {bell(3).set, &Viewer::Cmd_SetBell3_Click},
        {Cmd_Alerm_Files, &Viewer::Cmd_Alerm_Files_Click},
        {bell(1).browse, &Viewer::Cmd_Bell1_Files_Click},
        {bell(2).browse, &Viewer::Cmd_Bell2_Files_Click},
        {bell(3).browse, &Viewer::Cmd_Bell3_Files_Click},
        {Cmd_PlaySound_Alerm, &Viewer::Cmd_PlaySound_Alerm_Click},
        {bell(1).preview, &Viewer::Cmd_PlaySound1_Click},
        {bell(2).preview, &Viewer::Cmd_PlaySound2_Click},
        {bell(3).preview, &Viewer::Cmd_PlaySound3_Click},
        {Check_Mask, &Viewer::Check_Mask_Click},
        {Cmd_Slave, &Viewer::Cmd_Slave_Click},
    };
    for (const auto &[button, handler] : clicks)
        mustConnect(connect(button, &QAbstractButton::clicked, this, handler), "a button");

    const std::pair<ClickLabel *, Handler> pictureClicks[] = {
        {Img_Start, &Viewer::Img_Start_Click},
        {Img_ReStart, &Viewer::Img_ReStart_Click},
        {Img_Pause, &Viewer::Img_Pause_Click},
        {Img_Stop, &Viewer::Img_Stop_Click},
    };
    for (const auto &[picture, handler] : pictureClicks)
        mustConnect(connect(picture, &ClickLabel::clicked, this, handler), "a picture button");
    mustConnect(connect(Lbl_Copyright, &ClickLabel::doubleClicked, this, &Viewer::Lbl_Copyright_DblClick),
                "the copyright line");

    const std::pair<QLineEdit *, Handler> changes[] = {
        {bell(1).minutes, &Viewer::Txt_Bell_1_Min_Change}, {bell(2).minutes, &Viewer::Txt_Bell_2_Min_Change},
        {bell(3).minutes, &Viewer::Txt_Bell_3_Min_Change}, {bell(1).seconds, &Viewer::Txt_Bell_1_Sec_Change},
        {bell(2).seconds, &Viewer::Txt_Bell_2_Sec_Change}, {bell(3).seconds, &Viewer::Txt_Bell_3_Sec_Change},
    };
    for (const auto &[box, handler] : changes)
        mustConnect(connect(box, &QLineEdit::textChanged, this, handler), "a text box");
    mustConnect(connect(UpDown_Min, &SpinButton::changed, this, &Viewer::UpDown_Min_Change), "a spin");
    mustConnect(connect(UpDown_Sec, &SpinButton::changed, this, &Viewer::UpDown_Sec_Change), "a spin");
    lostFocus_ = {
        {{Txt_Time_Min, &Viewer::Txt_Time_Min_LostFocus}, {Txt_Time_Sec, &Viewer::Txt_Time_Sec_LostFocus}}};

    for (short index = 0; index < static_cast<short>(Cmd_SetTime_1touch.size()); ++index) {
        mustConnect(connect(Cmd_SetTime_1touch[static_cast<std::size_t>(index)], &QAbstractButton::clicked,
                            this, [this, index] { Cmd_SetTime_1touch_Click(index); }),
                    "a preset");
    }
    using IndexHandler = void (Viewer::*)(short);
    const IndexHandler switches[] = {&Viewer::Option_Bell1_OnOff_Click, &Viewer::Option_Bell2_OnOff_Click,
                                     &Viewer::Option_Bell3_OnOff_Click};
    for (int number = 1; number <= 3; ++number) {
        const IndexHandler handler = switches[number - 1];
        for (short index = 0; index < 2; ++index) {
            // An option's handler runs when it becomes the selected one, by a click or from code.
            mustConnect(connect(bell(number).onOff[static_cast<std::size_t>(index)], &QRadioButton::toggled,
                                this,
                                [this, handler, index](bool selected) {
                                    if (selected)
                                        (this->*handler)(index);
                                }),
                        "a bell switch");
        }
    }

    mustConnect(connect(Timer_PresentTime, &QTimer::timeout, this, &Viewer::Timer_PresentTime_Timer),
                "the clock");
    mustConnect(connect(feed_, &ShownFeed::changed, this, &Viewer::showOnProjector), "the projector");
    mustConnect(connect(Timer_Alert, &QTimer::timeout, this, &Viewer::Timer_Alert_Timer), "the blink");
}

namespace {

// The key codes the shortcut table is written in (Windows virtual-key codes).
int windowsKeyCode(const QKeyEvent &event)
{
    const int key = event.key();
    const bool keypad = event.modifiers() & Qt::KeypadModifier;
    if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9)
        return 0x60 + (key - Qt::Key_0);
    if (keypad && key == Qt::Key_Plus)
        return 0x6B;
    if (keypad && key == Qt::Key_Minus)
        return 0x6D;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 0x70 + (key - Qt::Key_F1);
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z) ||
        key == Qt::Key_Space)
        return key; // the same codes as ASCII
    static const std::pair<int, int> others[] = {
        {Qt::Key_Backspace, 8}, {Qt::Key_Tab, 9},       {Qt::Key_Return, 13}, {Qt::Key_Enter, 13},
        {Qt::Key_Shift, 16},    {Qt::Key_Control, 17},  {Qt::Key_Alt, 18},    {Qt::Key_Escape, 27},
        {Qt::Key_PageUp, 33},   {Qt::Key_PageDown, 34}, {Qt::Key_End, 35},    {Qt::Key_Home, 36},
        {Qt::Key_Left, 37},     {Qt::Key_Up, 38},       {Qt::Key_Right, 39},  {Qt::Key_Down, 40},
        {Qt::Key_Insert, 45},   {Qt::Key_Delete, 46}};
    for (const auto &[qtKey, code] : others) {
        if (key == qtKey)
            return code;
    }
    return 0;
}

short shiftState(Qt::KeyboardModifiers modifiers)
{
    return static_cast<short>((modifiers & Qt::ShiftModifier ? 1 : 0) |
                              (modifiers & Qt::ControlModifier ? 2 : 0) |
                              (modifiers & Qt::AltModifier ? 4 : 0));
}

} // namespace

bool Viewer::eventFilter(QObject *watched, QEvent *event)
{
    // Colours come from the tick, the blink, a bell, an apply: the display's own change event
    // catches them all.
    if (watched == Lbl_Time && event->type() == QEvent::PaletteChange)
        emit shownChanged();
    // The type first: the projector window may be half destroyed, and no longer a Slave, when its
    // last events pass by here.
    if (event->type() == QEvent::Show && slave_ && watched == slave_)
        showOnProjector(feed_->compose());
    if (event->type() == QEvent::KeyPress && !previewingKey_ && watched->isWidgetType()) {
        // Key preview: the window sees every key before the control it is meant for.
        auto *key = static_cast<QKeyEvent *>(event);
        const int code = windowsKeyCode(*key);
        if (const std::function<void()> action = keyActionFor(code)) {
            // Used up like the run commands, and from the projector window too: a clicker's page
            // keys move through the programme wherever the focus is.
            if (!key->isAutoRepeat())
                action();
            event->accept();
            return true;
        }
        if (commandForKey(code)) {
            // A key that runs a command is used up by it: typed into a box as well it would leave
            // a text the next Reset refuses, and on a focused button it would press that too. A
            // held key (or a presenter's clicker stuck down) acts once, on its first press. From
            // the projector window too: that is where an operator's clicker may send its keys.
            if (!key->isAutoRepeat())
                Form_KeyDown(static_cast<short>(code), shiftState(key->modifiers()));
            event->accept();
            return true;
        }
        if (slave_ && static_cast<QWidget *>(watched)->window() == slave_)
            return false; // the projector window's own keys (F11, Esc) are its own
        // Any other key travels on to its control exactly once; while it does, this filter
        // stands aside, so the containers it bubbles up through do not see it a second time.
        previewingKey_ = true;
        if (code)
            Form_KeyDown(static_cast<short>(code), shiftState(key->modifiers()));
        const QPointer<QObject> target(watched);
        if (target)
            QCoreApplication::instance()->notify(target, event);
        previewingKey_ = false;
        event->accept();
        return true;
    }
    if (event->type() == QEvent::FocusOut) {
        // Losing the focus to another window (or to a list's popup) is not leaving the box.
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            for (const auto &[box, handler] : lostFocus_) {
                if (watched == box)
                    (this->*handler)();
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Viewer::showContextMenu(const QPoint &at)
{
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    emit contextMenuOpening(menu);
    // Not exec(): the menu must not hold the clock while it is open.
    menu->popup(mapToGlobal(at));
}

void Viewer::closeEvent(QCloseEvent *event)
{
    // Closing the window ends the program: what the other parts would lose is asked about first.
    if (!mayEnd()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
    // Every window goes with this one; none keeps the program running behind the chair's back.
    emit closed();
}

bool Viewer::mayEnd() const
{
    for (const std::function<bool()> &check : closeChecks_) {
        if (!check())
            return false;
    }
    return true;
}

void Viewer::addCloseCheck(std::function<bool()> mayEnd)
{
    closeChecks_.push_back(std::move(mayEnd));
}

void Viewer::addKeyAction(int keyCode, std::function<bool()> available, std::function<void()> act)
{
    keyActions_[keyCode] = {std::move(available), std::move(act)};
}

std::function<void()> Viewer::keyActionFor(int keyCode) const
{
    const auto found = keyActions_.find(keyCode);
    if (found == keyActions_.end() || !found->second.available())
        return {};
    return found->second.act;
}
