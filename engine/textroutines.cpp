#include "engine/textroutines.h"

#include <cmath>
#include <cstdlib>

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

QStringView trimBlanks(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.mid(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

// Only called on numeric texts, which are plain ASCII once trimmed.
double toDouble(QStringView numericText)
{
    const QByteArray ascii = trimBlanks(numericText).toLatin1();
    return std::strtod(ascii.constData(), nullptr);
}

} // namespace

bool isNumeric(QStringView text)
{
    text = trimBlanks(text);
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    qsizetype digits = 0;
    bool point = false;
    for (; i < n; ++i) {
        if (isDigit(text[i])) {
            ++digits;
        } else if (text[i] == u'.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return false;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            ++i;
        qsizetype exponentDigits = 0;
        for (; i < n && isDigit(text[i]); ++i)
            ++exponentDigits;
        if (exponentDigits == 0)
            return false;
    }
    // A number too large for a double ("1e400") has no value to work with: not a number.
    return i == n && std::isfinite(toDouble(text));
}

std::optional<double> numericValue(QStringView text)
{
    if (!isNumeric(text))
        return std::nullopt;
    return toDouble(text);
}

std::optional<qint16> toInt16(QStringView text)
{
    const std::optional<double> value = numericValue(text);
    if (!value)
        return std::nullopt;
    // rint rounds a tie to the even neighbour under the default rounding mode.
    const double rounded = std::rint(*value);
    if (!(rounded >= -32768.0 && rounded <= 32767.0))
        return std::nullopt;
    return static_cast<qint16>(rounded);
}

QString format00(double value)
{
    const double rounded = std::round(value); // a tie away from zero
    const QString digits = QString::number(std::fabs(rounded), 'f', 0).rightJustified(2, u'0');
    return rounded < 0 ? QLatin1Char('-') + digits : digits;
}

QString format00(QStringView numericText)
{
    return format00(toDouble(numericText));
}
