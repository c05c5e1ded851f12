#pragma once
// Writes UDP datagrams into a pcap file of link type IPv4 (228), with IPv4 and UDP headers
// made up from the given addresses and ports, so that Wireshark and tshark can open it.

#include <QByteArray>
#include <QFile>
#include <QString>

class PcapWriter {
public:
    static constexpr quint32 kLinkTypeIpv4 = 228;
    static constexpr int kIpHeaderSize = 20;
    static constexpr int kUdpHeaderSize = 8;
    static constexpr int kMaxDatagram = 65535 - kIpHeaderSize - kUdpHeaderSize;

    // Creates the file and writes the file header; false with the reason when it cannot.
    bool open(const QString& path, QString& error);
    void close() { m_file.close(); }
    bool isOpen() const { return m_file.isOpen(); }

    // Each packet goes to the disk at once (for a program that may be killed).
    void setFlushEachPacket(bool on) { m_flushEach = on; }

    // Addresses in host order (10.0.0.2 is 0x0A000002). A datagram beyond what one IPv4
    // packet holds is cut to fit.
    void write(qint64 timeUs, quint32 source, quint16 sourcePort, quint32 destination, quint16 destinationPort,
               const char* data, int size);

    // The IPv4 and UDP headers and the data, as the file stores one packet.
    static QByteArray packet(quint16 id, quint32 source, quint16 sourcePort, quint32 destination,
                             quint16 destinationPort, const char* data, int size);

private:
    QFile m_file;
    QByteArray m_record;
    quint16 m_id = 0;
    bool m_flushEach = false;
};
