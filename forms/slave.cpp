#include "forms/slave.h"

#include "forms/colors.h"
#include "forms/inventory.h"
#include "forms/viewer.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace {

// The design: a 14400 x 10428 twip window with the label at 54, 2808, 14292 x 4812, in 240 points.
constexpr qreal kDesignWidth = 14400, kDesignHeight = 10428;
constexpr qreal kLabelLeft = 54, kLabelTop = 2808, kLabelWidth = 14292, kLabelHeight = 4812;
constexpr qreal kDesignPoints = 240;

} // namespace

Slave::Slave() : QWidget(nullptr)
{
    // Closing it by its close box destroys it; the main window creates a fresh one on demand.
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("Slave"));
    setWindowTitle(QStringLiteral("Podium Watch (QOR)") + Viewer::tagLine());
    setAutoFillBackground(true);
    setBackColor(this, Qt::black);
    time_ = qobject_cast<QLabel *>(buildControls(this, slaveInventory()).value(QStringLiteral("Lbl_Time")));
    resize(twipsToPixels(static_cast<int>(kDesignWidth)), twipsToPixels(static_cast<int>(kDesignHeight)));
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

void Slave::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The label keeps its place and share of the window, and the digits grow with it.
    const qreal sx = width() * 15 / kDesignWidth;
    const qreal sy = height() * 15 / kDesignHeight;
    time_->setGeometry(
        QRectF(kLabelLeft / 15 * sx, kLabelTop / 15 * sy, kLabelWidth / 15 * sx, kLabelHeight / 15 * sy)
            .toRect());
    QFont font = time_->font();
    font.setPointSizeF(std::max(1.0, kDesignPoints * std::min(sx, sy)));
    time_->setFont(font);
}

void Slave::toggleFullScreen()
{
    if (isFullScreen()) {
        showNormal();
        return;
    }
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
