#include "faultylink.h"

#include "opcodenames.h"
#include "protocol.h"
#include "simclock.h"

namespace {

// A datagram held back for reordering goes out on its own after this long.
constexpr int kHoldMs = 500;

QString describe(const QByteArray& datagram)
{
    return protocol::isFrame(datagram) ? opcodenames::name(protocol::parseHeader(datagram).opcode)
                                       : QStringLiteral("%1 bytes").arg(datagram.size());
}

} // namespace

FaultyLink::FaultyLink(Writer writer, quint32 seed, QObject* parent)
    : QObject(parent)
    , m_writer(std::move(writer))
    , m_random(seed)
{
    m_holdTimer.setSingleShot(true);
    m_holdTimer.setInterval(kHoldMs);
    connect(&m_holdTimer, &QTimer::timeout, this, &FaultyLink::releaseHeld);
}

bool FaultyLink::silent(qint64 nowMs) const
{
    return m_faults.silentUntilMs == Faults::kSilentForever || nowMs < m_faults.silentUntilMs;
}

bool FaultyLink::chance(double probability)
{
    return probability > 0.0 && m_random.generateDouble() < probability;
}

void FaultyLink::send(const QByteArray& datagram, const QHostAddress& to, quint16 port)
{
    if (silent(simclock::nowMs())) {
        emit event(QStringLiteral("silent, %1 not sent").arg(describe(datagram)));
        return;
    }
    if (chance(m_faults.loss)) {
        emit event(QStringLiteral("lost %1").arg(describe(datagram)));
        return;
    }
    Pending p{datagram, to, port};
    if (chance(m_faults.corrupt)) {
        QString how;
        p.datagram = corrupted(datagram, how);
        emit event(QStringLiteral("%1 %2").arg(how, describe(datagram)));
    }
    const int copies = chance(m_faults.duplicate) ? 2 : 1;
    if (copies == 2)
        emit event(QStringLiteral("duplicated %1").arg(describe(datagram)));

    if (!m_holding && chance(m_faults.reorder)) {
        emit event(QStringLiteral("held back %1").arg(describe(datagram)));
        m_held = p;
        m_holding = true;
        m_holdTimer.start();
        if (copies == 2)
            dispatch(p);
        return;
    }
    for (int i = 0; i < copies; ++i)
        dispatch(p);
    releaseHeld();
}

void FaultyLink::releaseHeld()
{
    if (!m_holding)
        return;
    m_holding = false;
    m_holdTimer.stop();
    dispatch(m_held);
}

void FaultyLink::dispatch(const Pending& p)
{
    const int jitter = m_faults.jitterMs > 0 ? m_random.bounded(-m_faults.jitterMs, m_faults.jitterMs + 1) : 0;
    const int delay = qMax(0, m_faults.delayMs + jitter);
    if (delay == 0) {
        m_writer(p.datagram, p.to, p.port);
        return;
    }
    QTimer::singleShot(delay, this, [this, p] { m_writer(p.datagram, p.to, p.port); });
}

QByteArray FaultyLink::corrupted(QByteArray datagram, QString& how)
{
    unsigned kinds[3];
    int count = 0;
    for (unsigned kind : {Faults::BadSignature, Faults::Truncation, Faults::RandomBytes}) {
        if (m_faults.corruptions & kind)
            kinds[count++] = kind;
    }
    if (count == 0 || datagram.isEmpty()) {
        how = QStringLiteral("left intact");
        return datagram;
    }
    switch (kinds[m_random.bounded(count)]) {
    case Faults::BadSignature:
        how = QStringLiteral("bad signature on");
        datagram[0] = char(datagram.at(0) ^ 0x5A);
        break;
    case Faults::Truncation:
        how = QStringLiteral("truncated");
        datagram.truncate(m_random.bounded(datagram.size()));
        break;
    default: {
        how = QStringLiteral("random bytes in");
        // The header stays, so the damage reaches the report decoders rather than the signature check.
        const int from = datagram.size() > protocol::kHeaderSize ? protocol::kHeaderSize : 0;
        for (int i = from; i < datagram.size(); ++i)
            datagram[i] = char(m_random.bounded(256));
        break;
    }
    }
    return datagram;
}
