#pragma once

#include <QString>
#include <optional>

// The three ways the program reads and writes numbers typed by the operator. Minutes, seconds
// and bell times all pass through these, so they must agree with each other on every text.

// A text is numeric when it reads whole as a decimal number: blanks around it, an optional sign,
// digits with at most one decimal point, an optional exponent. The empty text is not, nor is a
// number beyond the range of a double. Values are worked with as doubles.
bool isNumeric(QStringView text);

// The value of a numeric text, or nullopt for any other text.
std::optional<double> numericValue(QStringView text);

// The nearest whole number, a tie going to the even neighbour; nullopt for a text that is not
// numeric or whose value lies outside -32768..32767. Never wraps.
std::optional<qint16> toInt16(QStringView text);

// The number rounded (a tie away from zero) and written with at least two digits and a leading
// minus when negative: 5 -> "05", 123 -> "123", -5 -> "-05". The text must be numeric.
QString format00(QStringView numericText);
QString format00(double value);
