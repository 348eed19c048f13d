#include "forms/viewer.h"

#include "forms/controls.h"
#include "forms/inventory.h"
#include "forms/slave.h"
#include "platform/platform.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QRadioButton>
#include <QTimer>

Viewer::Viewer(Platform &platform, QWidget *parent)
    : QWidget(parent), platform_(platform), Timer_PresentTime(new QTimer(this)), Timer_Alert(new QTimer(this))
{
    setObjectName(QStringLiteral("Viewer"));
    // Every control sits at its design position; a layout would stretch the window to fit the
    // 240-point display.
    setFixedSize(twipsToPixels(14508), twipsToPixels(10512));
    setAutoFillBackground(true);
    setBackColor(this, QColor(128, 128, 128));
    setWindowIcon(QIcon(QStringLiteral(":/podiumwatch/podiumwatch-32.png")));

    controls_ = buildControls(this, viewerInventory());
    findBells();

    Timer_PresentTime->setObjectName(QStringLiteral("Timer_PresentTime"));
    Timer_PresentTime->setInterval(500);
    Timer_PresentTime->setTimerType(Qt::PreciseTimer);
    Timer_Alert->setObjectName(QStringLiteral("Timer_Alert"));
    Timer_Alert->setInterval(250);
    Timer_Alert->setTimerType(Qt::PreciseTimer);

    // The spin arrows take no focus; chaining them would tangle the Tab order.
    QList<QWidget *> stops;
    for (const QString &name : viewerFocusOrder()) {
        if (QWidget *widget = control(name); widget->focusPolicy() & Qt::TabFocus)
            stops << widget;
    }
    for (qsizetype i = 1; i < stops.size(); ++i)
        setTabOrder(stops[i - 1], stops[i]);
    stops.constFirst()->setFocus();

    // Not one of the designed controls: a sign in the free space of the bottom strip, which the
    // mask never hides, for the one failure an operator must know about before a bell is due.
    soundWarning_ = new QLabel(QStringLiteral("音が出ません"), this);
    soundWarning_->setObjectName(QStringLiteral("SoundOutputWarning"));
    soundWarning_->setToolTip(
        QStringLiteral("サウンド出力が見つかりません。見つかり次第、自動で復帰します。"));
    soundWarning_->setGeometry(twipsToPixels(2400), twipsToPixels(9960), twipsToPixels(2400),
                               twipsToPixels(372));
    soundWarning_->setAlignment(Qt::AlignCenter);
    soundWarning_->setAutoFillBackground(true);
    setBackColor(soundWarning_, QColor(160, 0, 0));
    setForeColor(soundWarning_, QColor(255, 255, 0));
    QFont warningFont = soundWarning_->font();
    warningFont.setBold(true);
    soundWarning_->setFont(warningFont);
    soundWarning_->hide();

    wireHandlers();
    watchControls();
}

void Viewer::showSoundOutput(bool available)
{
    // A message box would stop the operator mid-talk; a sign that comes and goes by itself does not.
    soundWarning_->setVisible(!available);
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

QWidget *Viewer::control(const QString &name) const
{
    return controls_.value(name);
}

QLabel *Viewer::label(const QString &name) const
{
    return control<QLabel>(name);
}

QLineEdit *Viewer::textBox(const QString &name) const
{
    return control<QLineEdit>(name);
}

void Viewer::press(const QString &button) const
{
    // A press from code runs the button's handler at once, hidden or not.
    control<QAbstractButton>(button)->click();
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

bool Viewer::ticked(const QString &checkBox) const
{
    return control<QAbstractButton>(checkBox)->isChecked();
}

void Viewer::showValidationMessage()
{
    platform_.showMessage(QStringLiteral("時間として取り扱えない書式です。"), programTitle());
}

void Viewer::playSoundOf(const QString &pathBox)
{
    platform_.playSound(textBox(pathBox)->text());
}

namespace {

struct ArrayMember {
    QString array; // empty: not a member of a control array
    short index = 0;
};

// "Option_Bell1_OnOff_2" is member 2 of "Option_Bell1_OnOff": the name up to its last underscore,
// then only digits.
ArrayMember arrayMember(const QString &name)
{
    const qsizetype underscore = name.lastIndexOf(u'_');
    if (underscore <= 0 || underscore == name.size() - 1)
        return {};
    const QStringView digits = QStringView(name).mid(underscore + 1);
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return {};
    }
    bool ok = false;
    const short index = digits.toShort(&ok);
    if (!ok)
        return {};
    return {name.left(underscore), index};
}

} // namespace

void Viewer::wireHandlers()
{
    // Handlers are found by name, control name and event joined by an underscore; a member of a
    // control array ("Name_3") goes to the array's handler with its index.
    const QMetaObject *meta = metaObject();
    auto handler = [meta](const QString &signature) {
        return meta->method(
            meta->indexOfSlot(QMetaObject::normalizedSignature(signature.toLatin1().constData())));
    };
    auto run = [this](const QMetaMethod &method) {
        return [this, method] { method.invoke(this, Qt::DirectConnection); };
    };

    for (auto it = controls_.cbegin(); it != controls_.cend(); ++it) {
        const QString &name = it.key();
        QWidget *widget = it.value();
        if (const ArrayMember member = arrayMember(name); !member.array.isEmpty()) {
            const QMetaMethod method = handler(member.array + QStringLiteral("_Click(short)"));
            const short index = member.index;
            if (!method.isValid())
                continue;
            if (auto *option = qobject_cast<QRadioButton *>(widget)) {
                // An option's handler runs when it becomes the selected one, by a click or from code.
                connect(option, &QRadioButton::toggled, this, [this, method, index](bool selected) {
                    if (selected)
                        method.invoke(this, Qt::DirectConnection, Q_ARG(short, index));
                });
            } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
                connect(button, &QAbstractButton::clicked, this, [this, method, index] {
                    method.invoke(this, Qt::DirectConnection, Q_ARG(short, index));
                });
            }
            continue;
        }
        if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
            if (const QMetaMethod method = handler(name + QStringLiteral("_Click()")); method.isValid())
                connect(button, &QAbstractButton::clicked, this, run(method));
        } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            if (const QMetaMethod method = handler(name + QStringLiteral("_Change()")); method.isValid())
                connect(edit, &QLineEdit::textChanged, this, run(method));
        } else if (auto *spin = qobject_cast<SpinButton *>(widget)) {
            if (const QMetaMethod method = handler(name + QStringLiteral("_Change()")); method.isValid())
                connect(spin, &SpinButton::changed, this, run(method));
        } else if (auto *clickable = qobject_cast<ClickLabel *>(widget)) {
            if (const QMetaMethod method = handler(name + QStringLiteral("_Click()")); method.isValid())
                connect(clickable, &ClickLabel::clicked, this, run(method));
            if (const QMetaMethod method = handler(name + QStringLiteral("_DblClick()")); method.isValid())
                connect(clickable, &ClickLabel::doubleClicked, this, run(method));
        }
    }
    for (QTimer *timer : {Timer_PresentTime, Timer_Alert}) {
        if (const QMetaMethod method = handler(timer->objectName() + QStringLiteral("_Timer()"));
            method.isValid())
            connect(timer, &QTimer::timeout, this, run(method));
    }
}

void Viewer::watchControls()
{
    installEventFilter(this);
    for (QWidget *widget : std::as_const(controls_))
        widget->installEventFilter(this);
}

namespace {

// The key codes the shortcut table is written in (Windows virtual-key codes).
int windowsKeyCode(const QKeyEvent &event)
{
    const int key = event.key();
    const bool keypad = event.modifiers() & Qt::KeypadModifier;
    if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9)
        return 0x60 + (key - Qt::Key_0);
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
    if (event->type() == QEvent::KeyPress && !previewingKey_ && watched->isWidgetType()) {
        // Key preview: the window sees every key before the control it is meant for. The key then
        // travels on to that control exactly once; while it does, this filter stands aside, so
        // the containers it bubbles up through do not run the shortcut a second time.
        auto *key = static_cast<QKeyEvent *>(event);
        const int code = windowsKeyCode(*key);
        if (key->isAutoRepeat() && commandForKey(code)) {
            // A held key (or a presenter's clicker stuck down) acts once, on its first press.
            event->accept();
            return true;
        }
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
            const QByteArray signature = watched->objectName().toLatin1() + "_LostFocus()";
            const int index = metaObject()->indexOfSlot(signature.constData());
            if (index >= 0)
                metaObject()->method(index).invoke(this, Qt::DirectConnection);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Viewer::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}
