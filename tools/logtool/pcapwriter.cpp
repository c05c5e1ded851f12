#include "pcapwriter.h"

namespace {

constexpr quint32 kPcapMagic = 0xA1B2C3D4; // microsecond time stamps
constexpr int kFileHeaderSize = 24;
constexpr int kPacketHeaderSize = 16;
constexpr quint8 kProtocolUdp = 17;
constexpr quint8 kTimeToLive = 64;
constexpr quint16 kDontFragment = 0x4000;

void le32(uchar* p, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uchar(v >> (8 * i));
}

void be16(uchar* p, quint16 v)
{
    p[0] = uchar(v >> 8);
    p[1] = uchar(v);
}

void be32(uchar* p, quint32 v)
{
    be16(p, quint16(v >> 16));
    be16(p + 2, quint16(v));
}

// Sum of big-endian 16-bit words for the internet checksum.
quint32 sum16(const uchar* p, int n, quint32 sum)
{
    for (int i = 0; i + 1 < n; i += 2)
        sum += quint32(p[i] << 8 | p[i + 1]);
    if (n & 1)
        sum += quint32(p[n - 1] << 8);
    return sum;
}

quint16 fold(quint32 sum)
{
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return quint16(~sum);
}

} // namespace

bool PcapWriter::open(const QString& path, QString& error)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error = QStringLiteral("cannot write %1: %2").arg(path, m_file.errorString());
        return false;
    }
    uchar h[kFileHeaderSize] = {};
    le32(h, kPcapMagic);
    h[4] = 2; // version 2.4
    h[6] = 4;
    le32(h + 16, 65535); // snap length
    le32(h + 20, kLinkTypeIpv4);
    m_file.write(reinterpret_cast<const char*>(h), kFileHeaderSize);
    if (m_flushEach)
        m_file.flush();
    return true;
}

QByteArray PcapWriter::packet(quint16 id, quint32 source, quint16 sourcePort, quint32 destination,
                              quint16 destinationPort, const char* data, int size)
{
    size = qBound(0, size, kMaxDatagram);
    const int udpLength = kUdpHeaderSize + size;
    uchar ip[kIpHeaderSize + kUdpHeaderSize] = {};
    ip[0] = 0x45;
    be16(ip + 2, quint16(kIpHeaderSize + udpLength));
    be16(ip + 4, id);
    be16(ip + 6, kDontFragment);
    ip[8] = kTimeToLive;
    ip[9] = kProtocolUdp;
    be32(ip + 12, source);
    be32(ip + 16, destination);
    be16(ip + 10, fold(sum16(ip, kIpHeaderSize, 0)));

    uchar* udp = ip + kIpHeaderSize;
    be16(udp, sourcePort);
    be16(udp + 2, destinationPort);
    be16(udp + 4, quint16(udpLength));
    // Pseudo-header (both addresses, protocol, UDP length), the UDP header and the data.
    quint32 sum = sum16(ip + 12, 8, 0) + kProtocolUdp + quint32(udpLength);
    sum = sum16(udp, kUdpHeaderSize, sum);
    sum = sum16(reinterpret_cast<const uchar*>(data), size, sum);
    const quint16 checksum = fold(sum);
    be16(udp + 6, checksum == 0 ? 0xFFFF : checksum);
    QByteArray bytes(reinterpret_cast<const char*>(ip), kIpHeaderSize + kUdpHeaderSize);
    bytes.append(data, size);
    return bytes;
}

void PcapWriter::write(qint64 timeUs, quint32 source, quint16 sourcePort, quint32 destination,
                       quint16 destinationPort, const char* data, int size)
{
    if (!m_file.isOpen())
        return;
    const QByteArray ipPacket = packet(m_id++, source, sourcePort, destination, destinationPort, data, size);
    m_record.resize(kPacketHeaderSize);
    auto* h = reinterpret_cast<uchar*>(m_record.data());
    const qint64 seconds = timeUs >= 0 ? timeUs / 1000000 : 0;
    le32(h, quint32(seconds));
    le32(h + 4, quint32(timeUs >= 0 ? timeUs % 1000000 : 0));
    le32(h + 8, quint32(ipPacket.size()));
    le32(h + 12, quint32(ipPacket.size()));
    m_record.append(ipPacket);
    m_file.write(m_record);
    if (m_flushEach)
        m_file.flush();
}
