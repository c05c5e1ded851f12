#pragma once
// Per-modem traffic figures of a log: how often each report and request occurs, first and last
// seen, the status report rate and the control-link loss from gaps in the reports' seqnum.

#include <QByteArray>
#include <QMap>

struct LogRecord;
class LogFormatter;

class LogStats {
public:
    struct Peer {
        QMap<quint16, qint64> counts; // by opcode
        qint64 records = 0;
        qint64 firstMs = 0;
        qint64 lastMs = 0;
        qint64 statusCount = 0;
        qint64 firstStatusMs = 0;
        qint64 lastStatusMs = 0;
        qint64 reports = 0;  // received frames with a report opcode
        qint64 missing = 0;  // reports skipped by the seqnum
        qint64 steps = 0;    // report pairs whose seqnum went up
        qint64 repeats = 0;  // report pairs with the same seqnum
        bool haveSeqnum = false;
        quint16 lastSeqnum = 0;

        // The modem numbers its reports when they mostly count up.
        bool numbered() const { return steps > 0 && steps > repeats; }
        double lossPercent() const;
        double statusPerSecond() const;
    };

    void add(const LogRecord& record);

    const QMap<quint64, Peer>& peers() const { return m_peers; } // key: address << 16 | port

    QByteArray report(LogFormatter& clock) const;

private:
    QMap<quint64, Peer> m_peers;
};
