#pragma once
// Builds packet logs for the log reader tests: records in the station's format, one frame of
// every opcode, and helpers that read a whole log back.

#include "logreader.h"
#include "packetlog.h"
#include "protocol.h"
#include "records.h"
#include "status_records.h"

#include <QBuffer>
#include <QVector>

namespace logbuilder {

constexpr qint64 kStartMs = 1765000000000LL;
constexpr quint32 kModem = 0x0A000002; // 10.0.0.2

inline QByteArray record(qint64 timeMs, quint16 direction, const QByteArray& frame, quint32 peer = kModem,
                         quint16 port = 40005)
{
    QByteArray r(packetlog::kRecordHeaderSize, '\0');
    packetlog::putHeader(reinterpret_cast<uint8_t*>(r.data()), timeMs, peer, port, packetlog::Direction(direction));
    return r + frame;
}

inline QByteArray request(quint16 opcode, const QByteArray& payload)
{
    return protocol::buildFrame(opcode, protocol::payloadFrom(payload));
}

inline QByteArray word(quint16 value) { return QByteArray(1, char(value & 0xFF)) + char(value >> 8); }

// Bytes that differ from their neighbours, so a field read at a wrong offset shows.
inline QByteArray pattern(int size, int seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 37 + seed) & 0xFF);
    return bytes;
}

inline QByteArray idStatistic(int entries)
{
    IdStatistic s;
    s.own_index = 1;
    for (int i = 0; i < entries; ++i)
        s.entries.append({uint8_t(i + 1), uint16_t(500 + i), uint32_t(1200 + 100 * i), uint16_t(10 + i),
                          uint16_t(20 + i), uint32_t(30 + i)});
    return records::encodeIdStatistic(s);
}

// One frame of every opcode the station knows, with the lengths a station and a modem produce.
inline QVector<QByteArray> everyOpcode()
{
    QVector<QByteArray> frames;
    for (quint16 opcode : {0x0000, 0x0101, 0x0102, 0x0103, 0x0105, 0x0106, 0x0107, 0x0108, 0x010B, 0x010E, 0x010F})
        frames.append(request(opcode, pattern(protocol::kPayloadSize, opcode)));
    ModemDefaults defaults;
    defaults.opmode = 41;
    defaults.rx_frequency = defaults.tx_frequency = 1433000000;
    defaults.ip_addr = 0xC0A80B0C;
    defaults.prefix = 24;
    defaults.sockets[3] = {10004, 10004, 0xC0A80BCD};
    defaults.tx_power_mode = 60;
    defaults.gst_string_fm2 = "videotestsrc ! x264enc ! rtph264pay";
    frames.append(request(CMD_DEFAULTS_SET, records::encodeDefaults(defaults)));
    SessionSecret secret;
    secret.save = true;
    secret.secret = "0123456789abcdef";
    frames.append(request(CMD_SESSION_SECRET, records::encodeSessionSecret(secret)));
    quint16 seqnum = 1;
    frames.append(protocol::buildReport(REP_DEFAULTS_SET, seqnum++, records::encodeDefaults(defaults)));
    for (quint16 opcode = 0x8101; opcode <= 0x810E; ++opcode) {
        if (opcode == REP_ID_STATISTIC || opcode == REP_SESSION_SECRET || opcode == REP_DEFAULTS_SET)
            continue;
        const uchar zero[2] = {0, 0};
        const int length = protocol::payloadLength(opcode, zero);
        frames.append(protocol::buildReport(opcode, seqnum++, pattern(length, opcode)));
    }
    frames.append(protocol::buildReport(REP_UNSUPPORTED, seqnum++, word(REP_PARAMETERS)));
    frames.append(protocol::buildReport(REP_ID_STATISTIC, seqnum++, idStatistic(3)));
    frames.append(protocol::buildReport(REP_SESSION_SECRET, seqnum++, records::encodeSessionSecret(secret)));
    frames.append(protocol::buildReport(REP_SET_HS_CHANNEL_MOD, seqnum++, word(1)));
    return frames;
}

// Records in order, 7 ms apart, sent for request opcodes and received for reports.
inline QByteArray logOf(const QVector<QByteArray>& frames, QVector<qint64>* offsets = nullptr)
{
    QByteArray log;
    qint64 t = kStartMs;
    for (const QByteArray& frame : frames) {
        if (offsets)
            offsets->append(log.size());
        const quint16 opcode = protocol::parseHeader(frame).opcode;
        log += record(t, opcode < REP_UNSUPPORTED ? 1 : 0, frame);
        t += 7;
    }
    return log;
}

struct Read {
    QVector<qint64> offsets;
    QVector<QByteArray> frames;
    QVector<LogDamage> damages;
};

inline Read readAll(QIODevice& device)
{
    Read result;
    LogReader reader(device);
    LogRecord record;
    LogDamage damage;
    for (;;) {
        const LogReader::Item item = reader.next(record, damage);
        if (item == LogReader::Damage) {
            result.damages.append(damage);
        } else if (item == LogReader::Record) {
            result.offsets.append(record.offset);
            result.frames.append(QByteArray(record.frame.constData(), record.frame.size()));
        } else {
            return result;
        }
    }
}

inline Read readAll(const QByteArray& log)
{
    QBuffer buffer;
    buffer.setData(log);
    buffer.open(QIODevice::ReadOnly);
    return readAll(buffer);
}

} // namespace logbuilder
