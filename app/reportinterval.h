#pragma once
// Works out how long the packet counts of each status report cover: the counts are per report,
// so a rate needs the report period, which missed reports and modem restarts hide.

#include <QtGlobal>

class ReportInterval {
public:
    struct Span {
        int ms = 0;       // time the counts cover; 0 when it cannot be known
        bool gap = false; // reports were missed or the modem restarted just before this one
    };

    // One status report heard at `nowMs` with the frame's sequence number.
    Span next(qint64 nowMs, quint32 seqnum);

    int typicalMs() const { return m_typicalMs; }

private:
    bool restarted(quint32 seqnum) const;

    qint64 m_lastMs = -1;
    quint32 m_lastSeqnum = 0;
    int m_typicalMs = 0;
    int m_longGaps = 0; // long gaps in a row: enough of them mean the period itself changed
};
