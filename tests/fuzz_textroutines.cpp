// libFuzzer target: the numeric test, the 16-bit conversion and the "00" format against a small
// reference model written differently (a regular expression and the standard library), on any
// text at all. Build with the fuzz preset, then run for example
//   build/fuzz/tests/fuzz_textroutines -max_len=64 -runs=10000000

#include "engine/textroutines.h"

#include <QString>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>

namespace reference {

// Blanks, a sign, digits with at most one point (at least one digit), an exponent, blanks; and a
// value a double can hold.
std::optional<double> value(const std::string &text)
{
    static const std::regex number(R"(^[ \t]*([+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?)[ \t]*$)");
    std::smatch match;
    if (!std::regex_match(text, match, number))
        return std::nullopt;
    const double parsed = std::strtod(match[1].str().c_str(), nullptr);
    if (!std::isfinite(parsed))
        return std::nullopt;
    return parsed;
}

std::optional<int> toInt16(const std::string &text)
{
    const std::optional<double> v = value(text);
    if (!v)
        return std::nullopt;
    // Nearest, ties to even, by hand.
    const double down = std::floor(*v);
    const double fraction = *v - down;
    double nearest = fraction > 0.5   ? down + 1
                     : fraction < 0.5 ? down
                                      : (std::fmod(down, 2) == 0 ? down : down + 1);
    if (nearest < -32768 || nearest > 32767)
        return std::nullopt;
    return static_cast<int>(nearest);
}

std::string format00(double v)
{
    // Half away from zero, from the whole part and the size of what is left over.
    const double whole = std::trunc(v);
    const double away = std::fabs(v - whole) >= 0.5 ? whole + std::copysign(1.0, v) : whole;
    char digits[400];
    std::snprintf(digits, sizeof digits, "%02.0f", std::fabs(away));
    return (away < 0 ? "-" : "") + std::string(digits);
}

} // namespace reference

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 256)
        return 0;
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::string utf8 = text.toStdString();

    const std::optional<double> expected = reference::value(utf8);
    if (isNumeric(text) != expected.has_value())
        std::abort();
    const std::optional<qint16> converted = toInt16(text);
    const std::optional<int> expectedInt = reference::toInt16(utf8);
    if (converted.has_value() != expectedInt.has_value() || (converted && *converted != *expectedInt))
        std::abort();
    if (expected && format00(text).toStdString() != reference::format00(*expected))
        std::abort();
    return 0;
}
