#pragma once
// The rotator's stepper controller commands as bytes, for tests that play the rotator.

#include <QByteArray>

namespace controllerbytes {

// A 32-bit command: the command byte, the top bits of the four data bytes, then their low seven bits.
inline QByteArray command32(quint8 command, qint32 data)
{
    const quint32 v = quint32(data);
    QByteArray bytes(1, char(command));
    bytes += char(((v >> 7) & 1) | ((v >> 14) & 2) | ((v >> 21) & 4) | ((v >> 28) & 8));
    for (int i = 0; i < 4; ++i)
        bytes += char((v >> (8 * i)) & 0x7F);
    return bytes;
}

} // namespace controllerbytes
