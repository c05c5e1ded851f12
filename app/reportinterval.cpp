#include "reportinterval.h"

namespace {

// A gap this many times the usual period means reports were lost on the way.
constexpr double kMissedFactor = 1.8;
// After this many long gaps in a row the modem simply reports less often now.
constexpr int kLongGapsForNewPeriod = 3;
constexpr quint32 kSeqnumHalfRange = 0x8000;

} // namespace

bool ReportInterval::restarted(quint32 seqnum) const
{
    // Going back by less than half the 16-bit range is a restart; by more, a wrap-around.
    return seqnum < m_lastSeqnum && m_lastSeqnum - seqnum < kSeqnumHalfRange;
}

ReportInterval::Span ReportInterval::next(qint64 nowMs, quint32 seqnum)
{
    const qint64 previousMs = m_lastMs;
    const bool restart = previousMs >= 0 && restarted(seqnum);
    m_lastMs = nowMs;
    m_lastSeqnum = seqnum;
    if (previousMs < 0)
        return {};
    if (restart)
        return {m_typicalMs, true};

    const qint64 gap = nowMs - previousMs;
    if (gap <= 0 || gap > 0xFFFF)
        return {gap > 0 ? m_typicalMs : 0, gap > 0};
    if (m_typicalMs > 0 && gap > kMissedFactor * m_typicalMs) {
        if (++m_longGaps < kLongGapsForNewPeriod)
            return {m_typicalMs, true};
        m_typicalMs = int(gap);
    } else {
        // Smoothed, so one late report does not shift the period much.
        m_typicalMs = m_typicalMs > 0 ? int((3 * qint64(m_typicalMs) + gap + 2) / 4) : int(gap);
    }
    m_longGaps = 0;
    return {int(gap), false};
}
