#include "packetlog.h"

#include "bytes.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace packetlog {

QString fileName(const QString& folder, const QDateTime& when)
{
    return folder + QStringLiteral("/log-") + when.toString(QStringLiteral("yyyyMMdd-hhmmss-zzz"))
        + QStringLiteral(".bin");
}

bool openPrivate(QFile& file, const QString& name)
{
    const int fd = ::open(QFile::encodeName(name).constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    file.setFileName(name);
    if (file.open(fd, QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle))
        return true;
    ::close(fd);
    return false;
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
