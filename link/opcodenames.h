#pragma once
// Names of the control protocol's opcodes, for event lines and for options that name reports.

#include <QString>
#include <optional>

namespace opcodenames {

// "REP_VERSION" for 0x8107; "0x0109" for a value without a name.
QString name(quint16 opcode);

// Accepts a name ("REP_VERSION", case-insensitive) or a number ("0x8107", "33031").
std::optional<quint16> parse(const QString& text);

} // namespace opcodenames
