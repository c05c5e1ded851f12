#pragma once

#include <QHostAddress>
#include <QSemaphore>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <mutex>

// A stepper controller played by a test on a loopback address, on a thread of its own so it
// answers however busy the test is. It logs the commands it gets ("83", "e0 1250", "a1" for a
// position read), answers reads while answering, and zeroes its position on 0xEC.
class ScriptedController : public QThread {
public:
    explicit ScriptedController(const QHostAddress& address);
    ~ScriptedController() override;

    bool isBound() const { return bound; }
    QStringList log() const;
    int reads() const { return log().count("a1"); }
    QStringList since(int read) const;  // the log after that many reads
    void setPosition(qint32 steps);
    void setAnswering(bool answer);

private:
    void run() override;
    QByteArray take(const QByteArray& datagram);

    const QHostAddress address;
    QSemaphore ready;  // released once the socket is bound, or not
    std::atomic<bool> bound {false};
    std::atomic<bool> stopping {false};
    mutable std::mutex mutex;  // guards the fields below
    QStringList commands;
    qint32 position = 0;
    bool answering = true;
    QByteArray partial;  // a 32-bit command still collecting its five data bytes
};
