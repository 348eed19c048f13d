#include "forms/viewer.h"
#include "platform/qtplatform.h"

#include <QApplication>
#include <QScreen>
#include <QStyleFactory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Fusion paints buttons in their palette colours on every desktop, as the design asks.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    QtPlatform platform;
    Viewer viewer(platform);
    platform.setDialogParent(&viewer);
    viewer.Form_Load();

    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = viewer.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        viewer.move(frame.topLeft());
    }
    viewer.show();
    return QApplication::exec();
}
