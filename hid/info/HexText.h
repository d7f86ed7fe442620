// Upper-case hexadecimal text of IDs, bytes and error codes, as the window's
// log and the information dialog show them.
#pragma once

#include <QString>

// `value` in upper-case hex digits, zero-padded to at least `digits`:
// UpperHex(0x4D9, 4) is "04D9", UpperHex(0x48F) is "48F".
inline QString UpperHex(unsigned value, int digits = 0) {
  return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}
