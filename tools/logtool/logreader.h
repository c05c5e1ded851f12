#pragma once
// Streaming reader of the station's binary packet log. Records carry no length, so each record
// ends where the next plausible header starts; damaged stretches are reported with their offsets.

#include <QByteArray>
#include <QString>

class QIODevice;

struct LogRecord {
    qint64 offset = 0; // of the 16-byte record header in the file
    qint64 timeMs = 0;
    quint32 address = 0; // host order: 10.0.0.2 is 0x0A000002
    quint16 port = 0;
    quint16 direction = 0; // 1 sent by the station, 0 received
    QByteArray frame;      // a view into the reader's buffer, valid until the next call
};

struct LogDamage {
    enum Kind { Garbage, TornTail };
    Kind kind = Garbage;
    qint64 offset = 0;
    qint64 length = 0;

    QString describe() const;
};

class LogReader {
public:
    enum Item { Record, Damage, NeedMore, End };

    static constexpr int kHeaderSize = 16;
    static constexpr int kMaxFrame = 65535;
    // Neighbouring records lie closer in time than this; a wider jump marks a false header.
    static constexpr qint64 kMaxTimeStepMs = 24LL * 3600 * 1000;

    explicit LogReader(QIODevice& device);

    // While following, the end of the data is not the end of the log: a record whose end is
    // not yet confirmed waits for more bytes (NeedMore) instead of counting as torn.
    void setFollowing(bool following) { m_following = following; }

    // The next record or damaged stretch. After NeedMore call again once the device has grown.
    Item next(LogRecord& record, LogDamage& damage);

    int damageCount() const { return m_damages; }
    qint64 recordCount() const { return m_records; }

private:
    bool fill(qint64 wanted);
    qint64 available() const { return m_buffer.size() - m_pos; }
    const uchar* at(qint64 index) const { return reinterpret_cast<const uchar*>(m_buffer.constData()) + index; }
    bool plausible(qint64 index, const qint64* referenceMs) const;
    bool confirmedByNext(qint64 index) const;
    qint64 tableEnd(qint64 index) const;
    qint64 findHeader(qint64 from, qint64 to, const qint64* referenceMs) const;
    Item frameRecord(LogRecord& record, LogDamage& damage);
    Item skipGarbage(LogDamage& damage);
    Item emitRecord(qint64 end, LogRecord& record);
    Item emitDamage(LogDamage::Kind kind, qint64 offset, qint64 length, LogDamage& damage);

    QIODevice& m_device;
    QByteArray m_buffer;
    qint64 m_pos = 0;     // parse position in m_buffer
    qint64 m_base = 0;    // file offset of m_buffer[0]
    bool m_atEnd = false; // the device had nothing more at the last read
    bool m_following = false;
    bool m_haveReference = false;
    qint64 m_referenceMs = 0; // time of the last good record
    qint64 m_garbageStart = -1; // file offset where an unfinished damaged stretch began
    int m_damages = 0;
    qint64 m_records = 0;
};
