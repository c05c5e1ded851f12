#include "logstats.h"

#include "logformatter.h"
#include "logreader.h"
#include "opcodenames.h"
#include "protocol.h"

#include <QHostAddress>
#include <QString>

namespace {

// A seqnum that jumps back by more than this is a restart of the modem, not a gap.
constexpr quint16 kMaxForwardStep = 0x8000;

} // namespace

double LogStats::Peer::lossPercent() const
{
    const qint64 expected = reports + missing;
    return expected > 0 ? 100.0 * double(missing) / double(expected) : 0.0;
}

double LogStats::Peer::statusPerSecond() const
{
    const qint64 span = lastStatusMs - firstStatusMs;
    return statusCount > 1 && span > 0 ? double(statusCount - 1) * 1000.0 / double(span) : 0.0;
}

void LogStats::add(const LogRecord& record)
{
    Peer& peer = m_peers[(quint64(record.address) << 16) | record.port];
    if (peer.records++ == 0)
        peer.firstMs = peer.lastMs = record.timeMs;
    peer.firstMs = qMin(peer.firstMs, record.timeMs);
    peer.lastMs = qMax(peer.lastMs, record.timeMs);
    if (record.frame.size() < protocol::kHeaderSize)
        return;
    const protocol::FrameHeader h = protocol::parseHeader(record.frame);
    ++peer.counts[h.opcode];
    if (record.direction != 0 || h.opcode < REP_UNSUPPORTED)
        return;
    if (h.opcode == REP_CONT_STATUS) {
        if (peer.statusCount++ == 0)
            peer.firstStatusMs = record.timeMs;
        peer.lastStatusMs = record.timeMs;
    }
    ++peer.reports;
    if (peer.haveSeqnum) {
        const quint16 step = quint16(h.seqnum - peer.lastSeqnum);
        if (step == 0) {
            ++peer.repeats;
        } else if (step < kMaxForwardStep) {
            ++peer.steps;
            peer.missing += step - 1;
        }
    }
    peer.haveSeqnum = true;
    peer.lastSeqnum = h.seqnum;
}

QByteArray LogStats::report(LogFormatter& clock) const
{
    QByteArray out;
    for (auto it = m_peers.constBegin(); it != m_peers.constEnd(); ++it) {
        const Peer& p = it.value();
        out.append(QHostAddress(quint32(it.key() >> 16)).toString().toLatin1());
        out.append(':');
        out.append(QByteArray::number(quint16(it.key() & 0xFFFF)));
        out.append("\n  first ");
        clock.appendTime(out, p.firstMs);
        out.append(", last ");
        clock.appendTime(out, p.lastMs);
        out.append('\n');
        for (auto c = p.counts.constBegin(); c != p.counts.constEnd(); ++c) {
            out.append("  ");
            out.append(opcodenames::name(c.key()).toLatin1().leftJustified(30));
            out.append(QByteArray::number(c.value()));
            out.append('\n');
        }
        out.append(QStringLiteral("  status reports: %1/s\n").arg(p.statusPerSecond(), 0, 'f', 2).toLatin1());
        if (p.numbered())
            out.append(QStringLiteral("  control-link loss: %1 % (%2 of %3 reports missing by seqnum)\n")
                           .arg(p.lossPercent(), 0, 'f', 2)
                           .arg(p.missing)
                           .arg(p.reports + p.missing)
                           .toLatin1());
        else
            out.append("  control-link loss: unknown, the modem does not number its reports\n");
    }
    return out;
}
