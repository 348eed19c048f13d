#pragma once

#include <QString>
#include <array>
#include <optional>

// 24-bit colour, kept free of Qt Gui so the table can be used and tested without a screen.
struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    friend bool operator==(const Rgb &, const Rgb &) = default;
};

struct NamedColor {
    const char16_t *name;
    Rgb rgb;
};

// The seven colours an operator can pick, in the order every colour list offers them.
inline constexpr std::array<NamedColor, 7> kColorTable{{
    {u"赤", {255, 0, 0}},
    {u"黄", {255, 255, 0}},
    {u"青", {0, 0, 255}},
    {u"緑", {0, 255, 0}},
    {u"黒", {0, 0, 0}},
    {u"白", {255, 255, 255}},
    {u"桃", {255, 100, 200}},
}};

// Exact match only: a name with a stray blank is not a colour.
std::optional<Rgb> colorByName(const QString &name);
