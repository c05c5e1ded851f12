#pragma once
// Binary traffic log: each record is a 16-byte header (time, peer, direction) and the frame.
// PacketLogWriter assembles a record and hands it to the file in one write.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>

class QFile;

namespace packetlog {

constexpr int kRecordHeaderSize = 16;

enum Direction : quint16 { Received = 0, Sent = 1 };

// Name of a new log file in `folder`, stamped with the local time `when`.
QString fileName(const QString& folder, const QDateTime& when);

// Opens (creating or appending to) the log file `name`, unbuffered and readable by its owner only:
// the log holds session secrets in clear.
bool openPrivate(QFile& file, const QString& name);

// Time (ms since the epoch), peer IPv4 as a number whose top byte is the first octet,
// peer port and direction, all little-endian.
void putHeader(uint8_t* out, qint64 time, quint32 peerIpv4, quint16 peerPort, Direction direction);

} // namespace packetlog

class PacketLogWriter {
public:
    // One write call per record, so an unbuffered file never holds half a record.
    void append(QFile& file, qint64 time, quint32 peerIpv4, quint16 peerPort, packetlog::Direction direction,
                const char* frame, int size);

private:
    QByteArray record; // reused between records; grows to the largest frame seen
};
