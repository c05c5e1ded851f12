#include "status_display.h"

namespace statusview {

namespace {

// 64 << spreading and 2 << modulation for any index a report can carry; indices too large for
// 64-bit arithmetic show as "?" instead of an undefined shift.
QString shifted(quint64 base, int shift)
{
    if (shift < 0 || shift > 56)
        return QStringLiteral("?");
    return QString::number(base << shift);
}

} // namespace

QString styleSheet(Indicator colour)
{
    static const char* const names[] = { "#c2c2c2", "green", "red", "yellow", "white" };
    return QStringLiteral("font-weight:bold; background-color: %1; border: 1px solid black; "
                          "border-radius: 5px")
        .arg(QLatin1String(names[static_cast<int>(colour)]));
}

Mode modeFromByte(uint8_t opmode)
{
    const int code = opmode & 0x1F;
    Mode mode;
    mode.valid = code <= 27;
    if (code & 0x10) {
        mode.number = (code - 16) / 3 + 8;
        mode.role = (code - 16) % 3;
    } else {
        mode.number = code >> 1;
        mode.role = code & 1;
    }
    mode.spreading = (opmode >> 5) & 3;
    mode.modulation = opmode >> 7;
    return mode;
}

Mode modeFromExtended(const ExtendedStatus& status)
{
    Mode mode;
    mode.number = status.mode;
    mode.role = status.role;
    mode.spreading = status.spreading;
    mode.modulation = status.modulation;
    const int roles = status.mode <= 7 ? 2 : 3;
    mode.valid = status.mode < 12 && status.spreading < 4 && status.modulation < 2
        && status.role < roles;
    return mode;
}

QString modeRoleText(const Mode& mode)
{
    if (!mode.valid)
        return QStringLiteral("--, -----");
    QString role;
    if (mode.role == 0)
        role = QStringLiteral("Земля");
    else if (mode.number <= 7)
        role = QStringLiteral("Борт ");
    else if (mode.role == 1)
        role = QStringLiteral("Ретр.");
    else
        role = QStringLiteral("Абон.");
    return QStringLiteral("%1, %2").arg(mode.number).arg(role);
}

QString modeText(const Mode& mode)
{
    const QString spreading = shifted(64, mode.spreading);
    const QString modulation = shifted(2, mode.modulation);
    QString suffix;
    if (mode.number <= 1)
        suffix = QStringLiteral(", ПШС%1").arg(spreading);
    else if (mode.number <= 3)
        suffix = QStringLiteral(", Фм%1").arg(modulation);
    else
        suffix = QStringLiteral(", ПШС%1 + Фм%2").arg(spreading, modulation);
    return modeRoleText(mode) + suffix;
}

QString modePicturePath(const Mode& mode)
{
    if (!mode.valid)
        return QStringLiteral(":/images/modes/empty.svg");
    QChar letter;
    if (mode.role == 0)
        letter = QLatin1Char('s');
    else if (mode.number <= 7 || mode.role == 1)
        letter = QLatin1Char('m');
    else
        letter = QLatin1Char('r');
    return QStringLiteral(":/images/modes/%1%2.svg").arg(mode.number).arg(letter);
}

QString rssiText(int magnitudeDb)
{
    return QStringLiteral("%1 дБ").arg(-magnitudeDb, 4);
}

} // namespace statusview
