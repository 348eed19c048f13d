// The screen mask and the secondary display.

#include "forms/controls.h"
#include "forms/slave.h"
#include "forms/viewer.h"

#include <QAbstractButton>
#include <QLabel>

namespace {

constexpr const char *kMaskedSet[] = {"Frm_Bell1", "Frm_Bell2", "Frm_Bell3",
                                      "Frm_Time",  "Frm_Alert", "Frm_Button"};

} // namespace

// Applies the mask state the toggle holds (ticked: not masked). A click toggles first; start,
// reset and restart call it as it stands to hide again what they showed.
void Viewer::Check_Mask_Click()
{
    auto *mask = control<QAbstractButton>(QStringLiteral("Check_Mask"));
    const bool shown = mask->isChecked();
    mask->setText(shown ? QStringLiteral("画面マスク") : QStringLiteral("マスク解除"));
    if (shown) {
        setBackColor(this, QColor(128, 128, 128));
    } else {
        setBackColor(this, backColor(label(QStringLiteral("Lbl_Time"))));
        setBackColor(mask, QColor(32, 32, 32));
    }
    for (const char *name : kMaskedSet)
        control(QString::fromLatin1(name))->setVisible(shown);
    control(QStringLiteral("ProgressBar1"))->setVisible(shown);
}

void Viewer::Cmd_Slave_Click()
{
    if (!slave_)
        slave_ = new Slave;
    copyDisplayTo(slave_);
    slave_->show();
}
