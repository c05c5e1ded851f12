#include "packetlog.h"

#include "bytes.h"

#include <QFile>

namespace packetlog {

QString fileName(const QString& folder, const QDateTime& when)
{
    return folder + QStringLiteral("/log-") + when.toString(QStringLiteral("yyyyMMdd-hhmmss-zzz"))
        + QStringLiteral(".bin");
}

void putHeader(uint8_t* out, qint64 time, quint32 peerIpv4, quint16 peerPort, Direction direction)
{
    bytes::put64(out, static_cast<uint64_t>(time));
    bytes::put32(out + 8, peerIpv4);
    bytes::put16(out + 12, peerPort);
    bytes::put16(out + 14, direction);
}

} // namespace packetlog

void PacketLogWriter::append(QFile& file, qint64 time, quint32 peerIpv4, quint16 peerPort,
                             packetlog::Direction direction, const char* frame, int size)
{
    record.resize(packetlog::kRecordHeaderSize + size);
    auto* p = reinterpret_cast<uint8_t*>(record.data());
    packetlog::putHeader(p, time, peerIpv4, peerPort, direction);
    memcpy(p + packetlog::kRecordHeaderSize, frame, static_cast<size_t>(size));
    file.write(record);
}
