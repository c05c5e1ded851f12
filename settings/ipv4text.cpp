#include "ipv4text.h"

#include <QStringList>

namespace ipv4text {

uint32_t parse(const QString& text)
{
    const QStringList groups = text.split(QLatin1Char('.'));
    if (groups.size() != 4)
        return 0;
    uint32_t address = 0;
    for (const QString& group : groups) {
        const QString digits = group.trimmed();
        if (digits.isEmpty() || digits.size() > 3)
            return 0;
        uint value = 0;
        for (const QChar c : digits) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return 0;
            value = value * 10 + uint(c.unicode() - '0');
        }
        if (value > 255)
            return 0;
        address = (address << 8) | value;
    }
    return address;
}

QString format(uint32_t hostOrder)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(hostOrder >> 24)
        .arg((hostOrder >> 16) & 0xFF)
        .arg((hostOrder >> 8) & 0xFF)
        .arg(hostOrder & 0xFF);
}

} // namespace ipv4text
