#pragma once
// Dotted-decimal text of the form's address fields and host-order IPv4 numbers.
// The fields carry the mask "000.000.000.000", so a group may hold leading zeros or blanks.

#include <QString>
#include <cstdint>

namespace ipv4text {

// Four decimal groups 0..255 separated by dots; anything else gives 0 (0.0.0.0).
uint32_t parse(const QString& text);

QString format(uint32_t hostOrder);

} // namespace ipv4text
