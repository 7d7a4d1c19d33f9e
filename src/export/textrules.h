#pragma once
// Small text rules of the export: whole numbers as the platform's integer
// conversion reads them, and view names made usable inside a folder name.
#include <QString>
#include <optional>

namespace exporting {

// The value of a whole number in the conversion's syntax: leading blanks,
// one optional sign, decimal digits in the signed 32-bit range, or a
// hexadecimal number after "$", "x", "X", "0x" or "0X" that fits in 32 bits
// (from 80000000 up it stands for a negative value). Nothing may follow.
std::optional<qint32> parseInteger(const QString& text);

// True exactly when parseInteger gives a value.
bool IsInteger(const QString& text);

// The conversion itself; throws platform::Error "'text' is not a valid integer value".
qint32 StrToInt(const QString& text);

// The name without any of the characters " \ : > < | * ? /. Working on
// characters rather than bytes, a double-byte character whose second GBK byte
// equals one of them is never cut.
QString CleanFileName(const QString& name);

} // namespace exporting
