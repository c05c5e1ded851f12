#pragma once
// The outgoing side of a simulated modem's control link, with the faults of a bad radio path:
// loss, delay and jitter, duplicates, reordering, corrupted datagrams and silence.

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QRandomGenerator>
#include <QTimer>

#include <functional>

struct Faults {
    enum Corruption : unsigned { BadSignature = 1, Truncation = 2, RandomBytes = 4, AnyCorruption = 7 };

    double loss = 0.0;      // probability that a datagram is dropped
    int delayMs = 0;
    int jitterMs = 0;       // the delay varies by up to this much either way
    double duplicate = 0.0; // probability that a datagram goes out twice
    double reorder = 0.0;   // probability that a datagram is held back behind the next one
    double corrupt = 0.0;   // probability that a datagram is damaged in one of the enabled ways
    unsigned corruptions = AnyCorruption;
    qint64 silentUntilMs = 0; // nothing goes out before this time; kSilentForever for no end

    static constexpr qint64 kSilentForever = -1;
};

class FaultyLink : public QObject {
    Q_OBJECT
public:
    using Writer = std::function<void(const QByteArray&, const QHostAddress&, quint16)>;

    FaultyLink(Writer writer, quint32 seed, QObject* parent = nullptr);

    void setFaults(const Faults& faults) { m_faults = faults; }
    const Faults& faults() const { return m_faults; }

    // Datagrams already delayed or held back are on their way and arrive whatever follows.
    void send(const QByteArray& datagram, const QHostAddress& to, quint16 port);

signals:
    void event(const QString& text);

private:
    struct Pending {
        QByteArray datagram;
        QHostAddress to;
        quint16 port = 0;
    };

    bool silent(qint64 nowMs) const;
    void dispatch(const Pending& p);
    void releaseHeld();
    QByteArray corrupted(QByteArray datagram, QString& how);
    bool chance(double probability);

    Writer m_writer;
    QRandomGenerator m_random;
    Faults m_faults;
    Pending m_held;
    bool m_holding = false;
    QTimer m_holdTimer;
};
