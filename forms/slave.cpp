#include "forms/slave.h"

#include "forms/controls.h"
#include "forms/inventory.h"
#include "forms/viewer.h"

Slave::Slave() : QWidget(nullptr)
{
    // Closing it by its close box destroys it; the main window creates a fresh one on demand.
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("Slave"));
    setWindowTitle(QStringLiteral("Podium Watch (QOR)") + Viewer::tagLine());
    resize(twipsToPixels(14400), twipsToPixels(10428));
    setAutoFillBackground(true);
    setBackColor(this, Qt::black);
    time_ = qobject_cast<QLabel *>(buildControls(this, slaveInventory()).value(QStringLiteral("Lbl_Time")));
}
