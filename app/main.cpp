#include "forms/inventory.h"
#include "forms/viewer.h"
#include "platform/qtplatform.h"

#include <QApplication>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>
#include <cstdio>

namespace {

// For the start-up benchmark: with PODIUMWATCH_PROBE_FIRST_PAINT set, the program says on standard
// output when the main window has first been painted, controls included.
class FirstPaintProbe : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // The window's own paint event comes before its controls are painted; the moment to
            // report is after the whole window has been painted and flushed.
            QTimer::singleShot(0, [] {
                std::fputs("first-paint\n", stdout);
                std::fflush(stdout);
            });
        }
        return false;
    }
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

    FirstPaintProbe probe;
    if (qEnvironmentVariableIsSet("PODIUMWATCH_PROBE_FIRST_PAINT"))
        viewer.installEventFilter(&probe);

    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = viewer.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        viewer.move(frame.topLeft());
    }
    viewer.show();
    return QApplication::exec();
}
