#include "logtool.h"

#include "logreader.h"
#include "protocol.h"

#include <QFile>
#include <QThread>

namespace {

constexpr int kFlushBytes = 256 * 1024;
constexpr int kFollowPollMs = 200;

} // namespace

LogTool::LogTool(const LogToolOptions& options, std::FILE* out, std::FILE* err)
    : m_options(options)
    , m_out(out)
    , m_err(err)
    , m_formatter(options.format)
{
    m_pending.reserve(kFlushBytes + 64 * 1024);
}

int LogTool::run()
{
    if (!m_options.pcap.isEmpty()) {
        QString error;
        if (!m_pcap.open(m_options.pcap, error)) {
            std::fprintf(m_err, "zarnik-log: %s\n", error.toLocal8Bit().constData());
            return 2;
        }
    }
    const bool printing = !m_options.stats && m_options.pcap.isEmpty();
    if (printing)
        m_pending.append(m_formatter.header());
    bool opened = true;
    for (int i = 0; i < m_options.files.size(); ++i)
        opened = readFile(m_options.files.at(i), m_options.follow && i == m_options.files.size() - 1) && opened;
    if (m_options.stats)
        m_pending.append(m_stats.report(m_formatter));
    flush();
    m_pcap.close();
    if (!opened)
        return 2;
    return m_damaged ? 1 : 0;
}

bool LogTool::readFile(const QString& path, bool follow)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(m_err, "zarnik-log: cannot read %s: %s\n", path.toLocal8Bit().constData(),
                     file.errorString().toLocal8Bit().constData());
        return false;
    }
    LogReader reader(file);
    reader.setFollowing(follow);
    LogRecord record;
    LogDamage damage;
    for (;;) {
        switch (reader.next(record, damage)) {
        case LogReader::Record:
            handle(record);
            break;
        case LogReader::Damage:
            m_damaged = true;
            flush();
            std::fprintf(m_err, "zarnik-log: %s: %s\n", path.toLocal8Bit().constData(),
                         damage.describe().toLocal8Bit().constData());
            break;
        case LogReader::NeedMore:
            flush();
            QThread::msleep(kFollowPollMs);
            break;
        case LogReader::End:
            return true;
        }
    }
}

void LogTool::handle(const LogRecord& record)
{
    if (!m_options.filter.accepts(record))
        return;
    if (m_options.stats)
        m_stats.add(record);
    if (m_pcap.isOpen()) {
        const bool sent = record.direction == 1;
        const quint32 source = sent ? m_options.stationAddress : record.address;
        const quint16 sourcePort = sent ? m_options.stationPort : record.port;
        const quint32 destination = sent ? record.address : m_options.stationAddress;
        const quint16 destinationPort = sent ? record.port : m_options.stationPort;
        m_pcap.write(record.timeMs * 1000, source, sourcePort, destination, destinationPort, record.frame.constData(),
                     record.frame.size());
    }
    if (m_options.stats || m_pcap.isOpen())
        return;
    if (record.frame.size() >= protocol::kHeaderSize) {
        const QByteArray payload = QByteArray::fromRawData(record.frame.constData() + protocol::kHeaderSize,
                                                           record.frame.size() - protocol::kHeaderSize);
        m_fields.decode(protocol::parseHeader(record.frame).opcode, payload);
    } else {
        m_fields.clear();
    }
    m_formatter.append(m_pending, record, m_fields);
    if (m_pending.size() >= kFlushBytes)
        flush();
}

void LogTool::flush()
{
    if (!m_pending.isEmpty())
        std::fwrite(m_pending.constData(), 1, size_t(m_pending.size()), m_out);
    m_pending.resize(0);
    std::fflush(m_out);
}
