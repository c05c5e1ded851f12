#pragma once
// The station journal: timestamped operator-facing events (modems heard and lost, requests sent,
// faults) kept in a bounded ring, with filtering and CSV export; no widgets, so every subsystem can feed it.

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVector>

#include <functional>

struct JournalEntry {
    enum Kind { Modem, Current, Request, Unsupported, LinkLoss, Port, Rotator, Attenuator, Call, Test };

    quint64 serial = 0; // counts every entry ever appended, also those the ring dropped
    Kind kind = Modem;
    qint64 time = 0;    // ms since the epoch
    QString modem;      // "address:port", empty when no modem is concerned
    QString text;
};
Q_DECLARE_METATYPE(JournalEntry)

// Which entries a view shows: an empty kind set or modem means any.
struct JournalFilter {
    QVector<JournalEntry::Kind> kinds;
    QString modem;
    QString search;

    bool matches(const JournalEntry& entry) const;
};

class Journal : public QObject {
    Q_OBJECT

public:
    static constexpr int kDefaultCapacity = 10000;

    explicit Journal(int capacity = kDefaultCapacity, QObject* parent = nullptr);

    void setClock(std::function<qint64()> clock);
    int capacity() const { return ring.size(); }
    int size() const { return count; }
    // Oldest first; `index` below size().
    const JournalEntry& at(int index) const;
    // The entry with this serial, or nullptr once the ring dropped it.
    const JournalEntry* bySerial(quint64 serial) const;
    quint64 firstSerial() const { return nextSerial - quint64(count); }

    QVector<JournalEntry> matching(const JournalFilter& filter) const;
    // RFC 4180 text with a header line; the time in local ISO form with milliseconds.
    QByteArray toCsv(const JournalFilter& filter = {}) const;
    bool exportCsv(const QString& path, const JournalFilter& filter = {}) const;

    static QString kindName(JournalEntry::Kind kind);
    static QVector<JournalEntry::Kind> allKinds();

public slots:
    void append(JournalEntry::Kind kind, const QString& modem, const QString& text);

signals:
    // `dropped` entries left the front of the ring to make room.
    void appended(const JournalEntry& entry, int dropped);

private:
    QVector<JournalEntry> ring;
    int head = 0; // index of the oldest entry
    int count = 0;
    quint64 nextSerial = 0;
    std::function<qint64()> clock;
};
