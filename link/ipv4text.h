#pragma once
// Dotted-decimal text of the station's address fields and host-order IPv4 numbers.
// The fields carry the mask "000.000.000.000", so a group may hold leading zeros or blanks.

#include <QHostAddress>
#include <QString>
#include <cstdint>
#include <optional>

namespace ipv4text {

// Four decimal groups 0..255 separated by dots, leading zeros allowed ("127.000.000.011" is
// 127.0.0.11, never octal); nothing for any other text.
std::optional<uint32_t> value(const QString& text);

// As value(), with 0 (0.0.0.0) for text that is not an address.
uint32_t parse(const QString& text);

// As value(), as a socket address; a null address for text that is not an address.
QHostAddress address(const QString& text);

QString format(uint32_t hostOrder);

} // namespace ipv4text
