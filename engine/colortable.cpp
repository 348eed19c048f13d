#include "engine/colortable.h"

std::optional<Rgb> colorByName(const QString &name)
{
    for (const NamedColor &entry : kColorTable) {
        if (name == QStringView(entry.name))
            return entry.rgb;
    }
    return std::nullopt;
}
