#include "engine/colortable.h"
#include "forms/controls.h"
#include "forms/viewer.h"

#include <QLabel>
#include <QLineEdit>

namespace {

QColor toQColor(const Rgb &rgb)
{
    return {rgb.red, rgb.green, rgb.blue};
}

} // namespace

// Recolours the big display from the colour names the caller left in the two hidden boxes.
// A name outside the table leaves its colour as it was.
void Viewer::ApplyScreenColors()
{
    QLabel *time = label(QStringLiteral("Lbl_Time"));
    if (const auto back = colorByName(textBox(QStringLiteral("Txt_BackColor"))->text()))
        setBackColor(time, toQColor(*back));
    if (const auto fore = colorByName(textBox(QStringLiteral("Txt_ForeColor"))->text()))
        setForeColor(time, toQColor(*fore));
}
