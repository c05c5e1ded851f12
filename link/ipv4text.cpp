#include "ipv4text.h"

#include <QStringList>

namespace ipv4text {

std::optional<uint32_t> value(const QString& text)
{
    const QStringList groups = text.split(QLatin1Char('.'));
    if (groups.size() != 4)
        return std::nullopt;
    uint32_t address = 0;
    for (const QString& group : groups) {
        const QString digits = group.trimmed();
        if (digits.isEmpty() || digits.size() > 3)
            return std::nullopt;
        uint octet = 0;
        for (const QChar c : digits) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return std::nullopt;
            octet = octet * 10 + uint(c.unicode() - '0');
        }
        if (octet > 255)
            return std::nullopt;
        address = (address << 8) | octet;
    }
    return address;
}

uint32_t parse(const QString& text)
{
    return value(text).value_or(0);
}

QHostAddress address(const QString& text)
{
    const std::optional<uint32_t> number = value(text);
    return number ? QHostAddress(*number) : QHostAddress();
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
