#include "forms/slave.h"

#include "forms/colors.h"
#include "forms/displaylabel.h"
#include "forms/inventory.h"
#include "forms/messagelabel.h"
#include "forms/viewer.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <stdexcept>

namespace {

// The design: a 14400 x 10428 twip window.
constexpr int kDesignWidth = 14400, kDesignHeight = 10428;
// With a message, the time keeps this share of the window's height, above it.
constexpr double kTimeShareWithMessage = 0.7;
// A new message blinks three times: six changes, off and on again.
constexpr int kMessageBlinks = 6;
constexpr int kMessageBlinkMs = 300;

// Read from across a hall: a bold face whose digits share one width and whose zero has no slash
// (the gothic face's zero is slashed, and its bold is only synthesised for small sizes). Kanji
// ("超過") still come from the gothic face. One walk through the installed fonts, when the window
// is opened.
QFont projectorFont(const QFont &designed)
{
    const QStringList installed = QFontDatabase::families();
    const QStringList latin = {QStringLiteral("DejaVu Sans"), QStringLiteral("Arial"),
                               QStringLiteral("Helvetica")};
    QFont font = designed;
    font.setFamilies(firstInstalledFamily(latin, installed) +
                     firstInstalledFamily(gothicFamilies(), installed));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    return font;
}

// The screen the projector window opens on: the first that is not the operator's.
QScreen *otherScreen(const QScreen *operatorScreen)
{
    if (!operatorScreen)
        operatorScreen = QGuiApplication::primaryScreen();
    for (QScreen *screen : QGuiApplication::screens()) {
        if (screen != operatorScreen)
            return screen;
    }
    return nullptr;
}

} // namespace

Slave::Slave() : QWidget(nullptr)
{
    // Closing it by its close box destroys it; the main window creates a fresh one on demand.
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("Slave"));
    setWindowTitle(QStringLiteral("Podium Watch (QOR)") + Viewer::tagLine());
    setAutoFillBackground(true);
    setBackColor(this, Qt::black);
    time_ =
        qobject_cast<DisplayLabel *>(buildControls(this, slaveInventory()).value(QStringLiteral("Lbl_Time")));
    if (!time_)
        throw std::runtime_error("The projector window lacks its time display Lbl_Time");
    time_->setFont(projectorFont(time_->font()));
    message_ = new MessageLabel(this);
    message_->setObjectName(QStringLiteral("Lbl_Message"));
    message_->setFont(time_->font());
    message_->hide();
    overTime_ = new QLabel(QStringLiteral("超過"), this);
    overTime_->setObjectName(QStringLiteral("OverTimeSign"));
    overTime_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    overTime_->hide();
    blink_ = new QTimer(this);
    blink_->setObjectName(QStringLiteral("MessageBlink"));
    blink_->setInterval(kMessageBlinkMs);
    connect(blink_, &QTimer::timeout, this, &Slave::blink);
    resize(twipsToPixels(kDesignWidth), twipsToPixels(kDesignHeight));
    // A projector unplugged under a full-screen window must not take the window with it.
    connect(qApp, &QGuiApplication::screenRemoved, this,
            [this] { QTimer::singleShot(0, this, &Slave::keepOnScreen); });
    fitWithinDesktop();
    connect(qApp, &QGuiApplication::screenAdded, this, &Slave::fitWithinDesktop);
    connect(qApp, &QGuiApplication::screenRemoved, this, &Slave::fitWithinDesktop);
    if (QScreen *primary = QGuiApplication::primaryScreen())
        connect(primary, &QScreen::virtualGeometryChanged, this, &Slave::fitWithinDesktop);
}

void Slave::fitWithinDesktop()
{
    // Every pixel of the window is backed by memory: a window stretched far past the screens
    // (32000 x 32000 is 4 GB) could take the machine down in the middle of a talk.
    QRect desktop;
    for (const QScreen *screen : QGuiApplication::screens())
        desktop = desktop.united(screen->geometry());
    if (!desktop.isEmpty())
        setMaximumSize(desktop.size());
}

QLabel *Slave::timeLabel() const
{
    return time_;
}

void Slave::follow(const Viewer::Shown &shown)
{
    setBackColor(this, shown.background);
    setForeColor(time_, shown.foreground);
    writeText(time_, shown.text);
    setForeColor(overTime_, shown.foreground);
    const bool over = shown.state != RunState::Setup && shown.remaining && *shown.remaining < 0;
    if (over == overTime_->isHidden()) {
        overTime_->setVisible(over);
        layOut();
    }
    setForeColor(message_, shown.foreground);
    if (shown.band == message_->text() && message_->isHidden() == shown.band.isEmpty())
        return;
    message_->setText(shown.band);
    message_->setVisible(!shown.band.isEmpty());
    message_->setInkShown(true);
    // A speaker glances up now and then: a new message draws the eye before it settles. The talk
    // about to start is no news to them.
    blinksLeft_ = shown.message.isEmpty() ? 0 : kMessageBlinks;
    if (blinksLeft_ > 0)
        blink_->start();
    else
        blink_->stop();
    layOut();
}

void Slave::blink()
{
    message_->setInkShown(--blinksLeft_ % 2 == 0);
    if (blinksLeft_ <= 0)
        blink_->stop();
}

void Slave::layOut()
{
    // In a corner the digits never reach, as large as it stays out of their way.
    QFont sign = time_->font();
    sign.setPixelSize(std::max(12, height() / 16));
    overTime_->setFont(sign);
    overTime_->setGeometry(height() / 40, height() / 40, width() / 4, height() / 10);
    if (message_->isHidden()) {
        time_->fillArea(rect());
        return;
    }
    const int timeHeight = static_cast<int>(height() * kTimeShareWithMessage);
    time_->fillArea(QRect(0, 0, width(), timeHeight));
    message_->fillBand(QRect(0, timeHeight, width(), height() - timeHeight));
}

bool Slave::event(QEvent *event)
{
    // A new text asks for a layout: a new pattern ("9:59" to "10:00", "超過") needs another place.
    // Showing again lays out too, for the texts written while hidden.
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show)
        layOut();
    return QWidget::event(event);
}

void Slave::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The whole window is the display.
    layOut();
}

void Slave::present(const QScreen *operatorScreen)
{
    if (isVisible()) {
        // Not activated: the operator's keys must keep reaching the main window.
        raise();
        return;
    }
    QScreen *projector = otherScreen(operatorScreen);
    if (!projector) {
        show();
        return;
    }
    // Choosing the screen does not move the window onto it within the desktop: move it too.
    setScreen(projector);
    move(projector->geometry().topLeft());
    enterFullScreen();
}

void Slave::toggleFullScreen()
{
    if (isFullScreen())
        showNormal();
    else
        enterFullScreen();
}

void Slave::enterFullScreen()
{
    showFullScreen();
    // Without a window manager (a bare X server, a kiosk) nobody enlarges the window: do it here.
    QTimer::singleShot(250, this, [this] {
        if (isFullScreen() && screen() && geometry() != screen()->geometry())
            setGeometry(screen()->geometry());
    });
}

void Slave::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F11) {
        toggleFullScreen();
    } else if (event->key() == Qt::Key_Escape && isFullScreen()) {
        showNormal();
    } else {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void Slave::mouseDoubleClickEvent(QMouseEvent *event)
{
    toggleFullScreen();
    event->accept();
}

std::optional<QPoint> Slave::placementAfterScreenLoss(const QRect &frame, const QList<QRect> &screens,
                                                      const QRect &primaryAvailable)
{
    for (const QRect &screen : screens) {
        if (screen.intersects(frame))
            return std::nullopt;
    }
    return primaryAvailable.topLeft();
}

void Slave::keepOnScreen()
{
    QList<QRect> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens << screen->geometry();
    QScreen *primary = QGuiApplication::primaryScreen();
    if (!primary)
        return;
    const std::optional<QPoint> place =
        placementAfterScreenLoss(frameGeometry(), screens, primary->availableGeometry());
    if (!place)
        return;
    const bool full = isFullScreen();
    if (full)
        showNormal();
    if (windowHandle())
        windowHandle()->setScreen(primary);
    move(*place);
    if (full)
        showFullScreen();
}
