#pragma once
// The attenuator played on the master side of a pseudo-terminal, from a thread of its own:
// every command line is recorded and answered with the scripted reply.

#include <QByteArrayList>
#include <QString>
#include <atomic>
#include <mutex>
#include <thread>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

class FakeAttenuator {
public:
    FakeAttenuator()
    {
        termios raw {};
        cfmakeraw(&raw);
        char path[64] = {};
        if (openpty(&master, &slave, path, &raw, nullptr) == 0)
            portName = QString::fromLatin1(path);
        thread = std::thread([this] { run(); });
    }

    ~FakeAttenuator()
    {
        unplug();
        ::close(slave);
    }

    // Pieces written one after another with a pause between them; no pieces means silence.
    void setReply(const QByteArrayList& pieces) { std::lock_guard<std::mutex> lock(mutex); reply = pieces; }
    // Every command line received so far.
    QByteArrayList commands() const { std::lock_guard<std::mutex> lock(mutex); return received; }

    // The device goes away: its end of the line is closed.
    void unplug()
    {
        stopping = true;
        if (thread.joinable())
            thread.join();
        ::close(master);
        master = -1;
    }

    QString portName;

private:
    void run()
    {
        QByteArray line;
        char buffer[64];
        while (!stopping) {
            pollfd ready {master, POLLIN, 0};
            const ssize_t n = poll(&ready, 1, 20) > 0 ? ::read(master, buffer, sizeof buffer) : 0;
            line.append(buffer, int(qMax<ssize_t>(n, 0)));
            for (int end; (end = line.indexOf('\n')) >= 0; line.remove(0, end + 1)) {
                std::unique_lock<std::mutex> lock(mutex);
                received << line.left(end + 1);
                const QByteArrayList pieces = reply;
                lock.unlock();
                for (int i = 0; i < pieces.size(); ++i) {
                    // Long enough for the station to have read the first piece, short of its 500 ms wait.
                    if (i > 0)
                        usleep(400 * 1000);
                    if (::write(master, pieces[i].constData(), size_t(pieces[i].size())) < 0)
                        break;
                }
            }
        }
    }

    int master = -1;
    int slave = -1;
    std::atomic<bool> stopping {false};
    mutable std::mutex mutex;  // guards the fields below
    QByteArrayList reply {"attOK"};
    QByteArrayList received;
    std::thread thread;
};
