#include "steppermodel.h"

#include "bytes.h"
#include "tic_commands.h"

#include <cmath>

namespace {

constexpr int kVariableBlockSize = 256;
constexpr quint8 kOperationStateOffset = 0x00;
constexpr quint8 kErrorStatusOffset = 0x02;
constexpr quint8 kTargetPositionOffset = 0x0A;
constexpr quint8 kStateNormal = 10;
constexpr quint8 kStateSoftError = 4;
constexpr quint16 kErrorCommandTimeout = 1u << 6;
constexpr quint16 kErrorSafeStart = 1u << 7;

int dataLength(quint8 command)
{
    switch (command) {
    case tic::kGetVariable:
    case tic::kGetVariableAndClear: return 2;
    case tic::kSetTargetPosition:
    case tic::kHaltAndSetPosition: return 5;
    case tic::kExitSafeStart:
    case tic::kResetCommandTimeout: return 0;
    default: return -1;
    }
}

} // namespace

StepperModel::StepperModel(int stepsPerSecond, qint64 nowMs)
    : m_speed(qMax(0, stepsPerSecond))
    , m_updatedMs(nowMs)
    , m_lastCommandMs(nowMs)
{
}

void StepperModel::advance(qint64 nowMs)
{
    if (nowMs <= m_updatedMs)
        return;
    const qint64 deadline = m_lastCommandMs + kCommandTimeoutMs;
    const bool timesOut = !m_timedOut && nowMs > deadline;
    const qint64 end = timesOut ? qMax(deadline, m_updatedMs) : nowMs;
    if (!m_stalled && !m_safeStart && end > m_updatedMs) {
        const double reach = m_speed * double(end - m_updatedMs) / 1000.0;
        const double distance = m_target - m_position;
        m_position = std::fabs(distance) <= reach ? double(m_target) : m_position + std::copysign(reach, distance);
    }
    if (timesOut) {
        m_timedOut = true;
        if (!m_safeStart && roundedPosition() != m_target)
            m_events << QStringLiteral("controller: command time-out, motor stopped at %1").arg(roundedPosition());
        m_safeStart = true;
    }
    m_updatedMs = nowMs;
}

qint32 StepperModel::position(qint64 nowMs)
{
    advance(nowMs);
    return roundedPosition();
}

// The position only ever moves between 32-bit targets, so it rounds into their range; qRound's
// int arithmetic would overflow near INT32_MIN.
qint32 StepperModel::roundedPosition() const
{
    return qint32(std::llround(m_position));
}

bool StepperModel::safeStartActive(qint64 nowMs)
{
    advance(nowMs);
    return m_safeStart;
}

void StepperModel::setStalled(bool stalled, qint64 nowMs)
{
    advance(nowMs);
    m_stalled = stalled;
}

QStringList StepperModel::takeEvents()
{
    QStringList events;
    events.swap(m_events);
    return events;
}

QList<QByteArray> StepperModel::feed(const QByteArray& bytes, qint64 nowMs)
{
    advance(nowMs);
    QList<QByteArray> answers;
    for (const char c : bytes) {
        const quint8 byte = quint8(c);
        if (byte & 0x80) {
            // A command byte always starts a new command, abandoning an unfinished one.
            m_command = byte;
            m_dataNeeded = dataLength(byte);
            m_data.clear();
            if (m_dataNeeded < 0) {
                m_events << QStringLiteral("controller: unknown command 0x%1").arg(byte, 2, 16, QLatin1Char('0'));
                m_command = 0;
            }
        } else if (m_command != 0) {
            m_data.append(char(byte));
        }
        if (m_command != 0 && m_data.size() == m_dataNeeded) {
            execute(nowMs, answers);
            m_command = 0;
        }
    }
    return answers;
}

qint32 StepperModel::data32() const
{
    // Seven bits per data byte; the first data byte carries the top bit of each of the four.
    const quint8 msbs = quint8(m_data.at(0));
    quint32 value = 0;
    for (int i = 0; i < 4; ++i) {
        const quint32 byte = (quint8(m_data.at(1 + i)) & 0x7F) | (((msbs >> i) & 1u) << 7);
        value |= byte << (8 * i);
    }
    return qint32(value);
}

void StepperModel::execute(qint64 nowMs, QList<QByteArray>& answers)
{
    if (m_command == tic::kGetVariable || m_command == tic::kGetVariableAndClear) {
        const int offset = quint8(m_data.at(0)) | ((quint8(m_data.at(1)) & 0x40) << 1);
        answers << readVariables(offset, quint8(m_data.at(1)) & 0x3F);
        return;
    }
    // Every other command keeps the command time-out from expiring.
    m_lastCommandMs = nowMs;
    m_timedOut = false;
    switch (m_command) {
    case tic::kExitSafeStart:
        if (m_safeStart)
            m_events << QStringLiteral("controller: exit safe start");
        m_safeStart = false;
        break;
    case tic::kResetCommandTimeout:
        break;
    case tic::kSetTargetPosition:
        m_target = data32();
        m_events << QStringLiteral("controller: target %1%2").arg(m_target).arg(m_safeStart ? " (held by safe start)" : "");
        break;
    case tic::kHaltAndSetPosition:
        m_target = data32();
        m_position = m_target;
        m_events << QStringLiteral("controller: halt, position set to %1").arg(m_target);
        break;
    default:
        break;
    }
}

QByteArray StepperModel::readVariables(int offset, int length) const
{
    QByteArray block(kVariableBlockSize, '\0');
    auto* p = reinterpret_cast<uint8_t*>(block.data());
    const bool softError = m_safeStart || m_timedOut;
    bytes::put8(p + kOperationStateOffset, softError ? kStateSoftError : kStateNormal);
    bytes::put16(p + kErrorStatusOffset,
        quint16((m_safeStart ? kErrorSafeStart : 0) | (m_timedOut ? kErrorCommandTimeout : 0)));
    bytes::put32(p + kTargetPositionOffset, quint32(m_target));
    bytes::put32(p + tic::kCurrentPosition, quint32(roundedPosition()));
    QByteArray answer = block.mid(offset, length);
    return answer.append(QByteArray(length - answer.size(), '\0'));
}
