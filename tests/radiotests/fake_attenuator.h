#pragma once
// The attenuator played on the master side of a pseudo-terminal, from a thread of its own:
// every command line is recorded and answered with the scripted reply.

#include <QByteArrayList>
#include <QString>
#include <atomic>
#include <mutex>
#include <thread>

class FakeAttenuator {
public:
    FakeAttenuator();
    ~FakeAttenuator();

    QString portName() const { return name; }
    // Pieces written one after another with a pause between them; no pieces means silence.
    void setReply(const QByteArrayList& pieces);
    // The next command makes the device vanish instead of answering.
    void hangUpOnCommand();
    void unplug();
    QByteArrayList commands() const;
    // Both directions of the line as the station's side configured them.
    bool lineAt115200() const;

private:
    void run();
    void closeMaster();

    int master = -1;
    int slave = -1;
    QString name;
    std::atomic<bool> stopping{false};
    mutable std::mutex mutex;
    QByteArrayList reply{"attOK"};
    QByteArrayList received;
    bool hangUp = false;
    std::thread thread;
};
