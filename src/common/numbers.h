#pragma once

#include <QString>

// The leading decimal number of a text ("12.5.3" reads 12.5, "abc" 0). Every typed or
// stored text that becomes a number goes through here.
double numberValue(const QString &text);

// Rounds to the nearest value with `decimals` decimals, halves to the even neighbour
// (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
double roundEven(double x, int decimals = 0);

// Rounds to the nearest half, halves of a half going to the even neighbour (Round(x × 2) ÷ 2).
double roundToHalf(double x);

// Rounds a fee by the café's rounding unit: half yuan when the unit is 0.5, else whole yuan.
double roundByUnit(double x, double unit);

// A number as plain decimal text: no thousands separator, no trailing zeros (12, 2.5, -3).
QString plainNumber(double x);

// The smallest positive integer that is not the number value of any of `used`, padded to
// eight digits with leading zeros (longer numbers stay unpadded).
QString nextFreeNumber(const QStringList &used);
