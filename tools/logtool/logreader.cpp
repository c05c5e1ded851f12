#include "logreader.h"

#include "protocol.h"
#include "status_records.h"

#include <QIODevice>
#include <cstring>

namespace {

constexpr int kSignatureSize = 2;
constexpr int kChunk = 256 * 1024;
// Bytes past a record's start that framing may look at: its header, the largest frame and the
// next record's header and signature.
constexpr qint64 kWindow = 2 * LogReader::kHeaderSize + LogReader::kMaxFrame + kSignatureSize;
constexpr qint64 kEarliestMs = 946684800000LL; // 2000-01-01
constexpr qint64 kLatestMs = 4102444800000LL;  // 2100-01-01

qint64 timeAt(const uchar* p)
{
    quint64 t = 0;
    for (int i = 7; i >= 0; --i)
        t = (t << 8) | p[i];
    return qint64(t);
}

quint16 word(const uchar* p) { return quint16(p[0] | (p[1] << 8)); }

} // namespace

QString LogDamage::describe() const
{
    if (kind == TornTail)
        return QStringLiteral("offset %1: the last %2 bytes are a torn record").arg(offset).arg(length);
    return QStringLiteral("offset %1: %2 bytes that are no record, skipped").arg(offset).arg(length);
}

LogReader::LogReader(QIODevice& device)
    : m_device(device)
{
    m_buffer.reserve(int(kWindow + kChunk));
}

bool LogReader::fill(qint64 wanted)
{
    if (available() >= wanted)
        return true;
    if (m_pos > 0) {
        m_buffer.remove(0, int(m_pos));
        m_base += m_pos;
        m_pos = 0;
    }
    m_atEnd = false;
    while (available() < wanted) {
        const int old = m_buffer.size();
        const int chunk = int(qMax<qint64>(wanted - available(), kChunk));
        m_buffer.resize(old + chunk);
        const qint64 got = m_device.read(m_buffer.data() + old, chunk);
        m_buffer.resize(old + int(qMax<qint64>(got, 0)));
        if (got <= 0) {
            m_atEnd = true;
            break;
        }
    }
    return available() >= wanted;
}

// A record header with the signature after it, a direction of 0 or 1 and a time stamp of this
// century; with a reference also within a day of it.
bool LogReader::plausible(qint64 index, const qint64* referenceMs) const
{
    if (index < 0 || index + kHeaderSize + kSignatureSize > m_buffer.size())
        return false;
    const uchar* h = at(index);
    if (h[16] != 0x01 || h[17] != 0xFF || word(h + 14) > 1)
        return false;
    const qint64 t = timeAt(h);
    if (t < kEarliestMs || t >= kLatestMs)
        return false;
    return !referenceMs || qAbs(t - *referenceMs) <= kMaxTimeStepMs;
}

// End of the record at `index` by the opcode's payload length (an ID statistics report by its
// entry count); -1 when the opcode has no length.
qint64 LogReader::tableEnd(qint64 index) const
{
    const qint64 frame = index + kHeaderSize;
    if (frame + protocol::kHeaderSize > m_buffer.size())
        return -1;
    const quint16 opcode = word(at(frame + 4));
    const uchar zero[2] = {0, 0};
    const uchar* payload = zero;
    if (protocol::isSessionSecretOpcode(opcode)) {
        if (frame + protocol::kHeaderSize + 2 > m_buffer.size())
            return -1;
        payload = at(frame + protocol::kHeaderSize);
    }
    int length = protocol::payloadLength(opcode, payload);
    if (opcode == REP_ID_STATISTIC && frame + protocol::kHeaderSize < m_buffer.size())
        length = records::kIdStatisticHeadSize + records::kIdStatisticEntrySize * at(frame + protocol::kHeaderSize)[0];
    return length < 0 ? -1 : frame + protocol::kHeaderSize + length;
}

// A header far off in time still starts a record when its table length leads to another header.
bool LogReader::confirmedByNext(qint64 index) const
{
    if (!plausible(index, nullptr))
        return false;
    const qint64 end = tableEnd(index);
    if (end < 0 || end > m_buffer.size())
        return false;
    if (end == m_buffer.size())
        return m_atEnd && !m_following;
    const qint64 t = timeAt(at(index));
    return plausible(end, &t);
}

qint64 LogReader::findHeader(qint64 from, qint64 to, const qint64* referenceMs) const
{
    // Search for the signature byte and check the header in front of it.
    qint64 q = from;
    while (q <= to) {
        const auto* hit = static_cast<const uchar*>(
            std::memchr(at(q + kHeaderSize), 0x01, size_t(to - q + 1)));
        if (!hit)
            return -1;
        q = hit - at(0) - kHeaderSize;
        if (plausible(q, referenceMs) || (referenceMs && confirmedByNext(q)))
            return q;
        ++q;
    }
    return -1;
}

LogReader::Item LogReader::next(LogRecord& record, LogDamage& damage)
{
    fill(kWindow);
    if (m_garbageStart >= 0)
        return skipGarbage(damage);
    if (available() == 0)
        return m_following ? NeedMore : End;
    if (available() < kHeaderSize + kSignatureSize)
        return m_following ? NeedMore : emitDamage(LogDamage::TornTail, m_base + m_pos, available(), damage);
    const qint64* reference = m_haveReference ? &m_referenceMs : nullptr;
    if (!plausible(m_pos, reference) && !(reference && confirmedByNext(m_pos))) {
        m_garbageStart = m_base + m_pos;
        ++m_pos;
        return skipGarbage(damage);
    }
    return frameRecord(record, damage);
}

LogReader::Item LogReader::frameRecord(LogRecord& record, LogDamage& damage)
{
    const qint64 p = m_pos;
    const qint64 frame = p + kHeaderSize;
    const qint64 size = m_buffer.size();
    const qint64 t = timeAt(at(p));
    const qint64 end = tableEnd(p);
    if (end >= 0 && end <= size) {
        if (end == size ? m_atEnd : plausible(end, &t))
            return emitRecord(end, record);
    }
    const qint64 last = qMin(size - kHeaderSize - kSignatureSize, frame + kMaxFrame);
    const qint64 q = findHeader(frame + kSignatureSize, last, &t);
    // Only truncation makes a datagram shorter than its length; bytes past that length before
    // the next header are damage, reported by the next call.
    if (q >= 0)
        return emitRecord(end >= 0 && end < q ? end : q, record);
    if (size - frame <= kMaxFrame) {
        if (m_following)
            return NeedMore;
        // Every frame the station writes holds at least the frame header.
        if (end > size || size - frame < protocol::kHeaderSize)
            return emitDamage(LogDamage::TornTail, m_base + p, size - p, damage);
        return emitRecord(end >= 0 ? end : size, record);
    }
    // No header follows within the largest frame: keep what the table frames, the rest is damage.
    if (end >= 0 && end <= size)
        return emitRecord(end, record);
    m_garbageStart = m_base + p;
    m_pos = p + 1;
    return skipGarbage(damage);
}

LogReader::Item LogReader::skipGarbage(LogDamage& damage)
{
    const qint64* reference = m_haveReference ? &m_referenceMs : nullptr;
    for (;;) {
        const qint64 last = m_buffer.size() - kHeaderSize - kSignatureSize;
        const qint64 q = findHeader(m_pos, last, reference);
        if (q >= 0) {
            const qint64 start = m_garbageStart;
            m_pos = q;
            m_garbageStart = -1;
            return emitDamage(LogDamage::Garbage, start, m_base + q - start, damage);
        }
        m_pos = qMax(m_pos, last + 1);
        if (m_atEnd) {
            if (m_following)
                return NeedMore;
            const qint64 start = m_garbageStart;
            m_pos = m_buffer.size();
            m_garbageStart = -1;
            return emitDamage(LogDamage::Garbage, start, m_base + m_pos - start, damage);
        }
        fill(kWindow);
    }
}

LogReader::Item LogReader::emitRecord(qint64 end, LogRecord& record)
{
    const uchar* h = at(m_pos);
    record.offset = m_base + m_pos;
    record.timeMs = timeAt(h);
    record.address = quint32(h[8]) | (quint32(h[9]) << 8) | (quint32(h[10]) << 16) | (quint32(h[11]) << 24);
    record.port = word(h + 12);
    record.direction = word(h + 14);
    record.frame = QByteArray::fromRawData(m_buffer.constData() + m_pos + kHeaderSize, int(end - m_pos - kHeaderSize));
    m_referenceMs = record.timeMs;
    m_haveReference = true;
    m_pos = end;
    ++m_records;
    return Record;
}

LogReader::Item LogReader::emitDamage(LogDamage::Kind kind, qint64 offset, qint64 length, LogDamage& damage)
{
    damage.kind = kind;
    damage.offset = offset;
    damage.length = length;
    if (kind == LogDamage::TornTail)
        m_pos = m_buffer.size();
    ++m_damages;
    return Damage;
}
