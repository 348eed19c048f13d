#include "engine/colortable.h"
#include "forms/colors.h"
#include "forms/displaylabel.h"
#include "forms/viewer.h"

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
    const auto [backName, foreName] = colorNames();
    if (const auto back = colorByName(backName))
        setBackColor(Lbl_Time, toQColor(*back));
    if (const auto fore = colorByName(foreName))
        setForeColor(Lbl_Time, toQColor(*fore));
}
