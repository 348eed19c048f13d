#include "forms/inventory.h"
#include "forms/viewer.h"
#include "platform/qtplatform.h"

#include <QApplication>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace {

// Runs `then` once the window has first been painted, controls included.
class AfterFirstPaint : public QObject {
public:
    AfterFirstPaint(QWidget *window, std::function<void()> then) : QObject(window), then_(std::move(then))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // The window's own paint event comes before its controls are painted; the moment
            // wanted is after the whole window has been painted and flushed.
            QTimer::singleShot(0, this, [this] { then_(); });
        }
        return false;
    }

private:
    std::function<void()> then_;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Fusion paints buttons in their palette colours on every desktop, as the design asks.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    useGothicApplicationFont();

    QtPlatform platform;
    Viewer viewer(platform);
    platform.setDialogParent(&viewer);
    viewer.Form_Load();

    // For the start-up benchmark: with PODIUMWATCH_PROBE_FIRST_PAINT set, the program says on
    // standard output when the main window has first been painted.
    const bool probe = qEnvironmentVariableIsSet("PODIUMWATCH_PROBE_FIRST_PAINT");
    new AfterFirstPaint(&viewer, [&platform, probe] {
        if (probe) {
            std::fputs("first-paint\n", stdout);
            std::fflush(stdout);
        }
        // The sound process starts once the window is on the screen: starting it competes with
        // the first paint for the processor, and by the first bell it has long found the server.
        platform.openSoundOutput();
    });

    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = viewer.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        viewer.move(frame.topLeft());
    }
    viewer.show();
    return QApplication::exec();
}
