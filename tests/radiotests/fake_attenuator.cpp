#include "fake_attenuator.h"

#include <chrono>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {
// Long enough for the station to have read the first piece, short of its 500 ms wait.
constexpr auto kPieceGap = std::chrono::milliseconds(400);
}

FakeAttenuator::FakeAttenuator()
{
    termios raw{};
    cfmakeraw(&raw);
    char path[64] = {};
    if (openpty(&master, &slave, path, &raw, nullptr) == 0)
        name = QString::fromLatin1(path);
    thread = std::thread([this] { run(); });
}

FakeAttenuator::~FakeAttenuator()
{
    unplug();
    if (slave >= 0)
        ::close(slave);
}

void FakeAttenuator::setReply(const QByteArrayList& pieces)
{
    std::lock_guard<std::mutex> lock(mutex);
    reply = pieces;
}

void FakeAttenuator::hangUpOnCommand()
{
    std::lock_guard<std::mutex> lock(mutex);
    hangUp = true;
}

void FakeAttenuator::unplug()
{
    stopping = true;
    if (thread.joinable())
        thread.join();
    closeMaster();
}

QByteArrayList FakeAttenuator::commands() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return received;
}

bool FakeAttenuator::lineAt115200() const
{
    termios t{};
    return tcgetattr(slave, &t) == 0 && cfgetispeed(&t) == B115200 && cfgetospeed(&t) == B115200;
}

void FakeAttenuator::run()
{
    QByteArray line;
    while (!stopping && master >= 0) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0)
            continue;
        char buf[64];
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n <= 0)
            continue;
        line.append(buf, int(n));
        int end;
        while ((end = line.indexOf('\n')) >= 0) {
            QByteArrayList pieces;
            {
                std::lock_guard<std::mutex> lock(mutex);
                received << line.left(end + 1);
                if (hangUp) {
                    closeMaster();
                    return;
                }
                pieces = reply;
            }
            line.remove(0, end + 1);
            for (int i = 0; i < pieces.size(); ++i) {
                if (i > 0)
                    std::this_thread::sleep_for(kPieceGap);
                if (::write(master, pieces[i].constData(), size_t(pieces[i].size())) < 0)
                    break;
            }
        }
    }
}

void FakeAttenuator::closeMaster()
{
    if (master >= 0)
        ::close(master);
    master = -1;
}
