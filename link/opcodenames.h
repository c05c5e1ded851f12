#pragma once
// Names of the control protocol's opcodes, for event lines, log readers and options that name reports.

#include <QString>
#include <optional>

namespace opcodenames {

// "REP_VERSION" for 0x8107; "0x0109" for a value without a name.
QString name(quint16 opcode);

// The name of a known opcode, without allocating; nullptr for a value without a name.
const char* knownName(quint16 opcode);

// Accepts a name ("REP_VERSION", case-insensitive) or a number ("0x8107", "33031").
std::optional<quint16> parse(const QString& text);

} // namespace opcodenames
