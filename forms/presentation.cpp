// The screen mask and the secondary display.

#include "forms/colors.h"
#include "forms/displaylabel.h"
#include "forms/slave.h"
#include "forms/viewer.h"

#include <QGroupBox>
#include <QProgressBar>
#include <QPushButton>

// Applies the mask state the toggle holds (ticked: not masked). A click toggles first; start,
// reset and restart call it as it stands to hide again what they showed.
void Viewer::Check_Mask_Click()
{
    const bool shown = Check_Mask->isChecked();
    Check_Mask->setText(shown ? QStringLiteral("画面マスク") : QStringLiteral("マスク解除"));
    if (shown) {
        setBackColor(this, Palette::kWindowGrey);
    } else {
        setBackColor(this, backColor(Lbl_Time));
        setBackColor(Check_Mask, Palette::kMaskedToggle);
    }
    for (QGroupBox *frame : settingFrames())
        frame->setVisible(shown);
    Frm_Time->setVisible(shown);
    ProgressBar1->setVisible(shown);
}

void Viewer::Cmd_Slave_Click()
{
    if (!slave_) {
        slave_ = new Slave;
        // The run-control keys work from the projector window as from this one.
        slave_->installEventFilter(this);
    }
    // Open or not, it takes the display's caption and colours as they are now, whether or not
    // anything said they changed.
    slave_->follow(feed_->compose());
    slave_->present(screen());
}

// The projector shows what the big display shows, taken from it at every change while it is shown
// and when it is shown again, and nothing else.
void Viewer::showOnProjector(const Shown &shown)
{
    if (slave_ && slave_->isVisible())
        slave_->follow(shown);
}
