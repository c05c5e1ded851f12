// The stepper controller link: a read of its variables answered by one datagram of any length
// from the controller's address, at any read length and offset.

#include "fuzzentries.h"

#include "tic_commands.h"
#include "tic_udp_socket.h"

#include <algorithm>
#include <vector>

namespace {

struct StepperRig {
    StepperRig()
    {
        controller.bind(QHostAddress(QHostAddress::LocalHost), 0);
        tic.bind(QHostAddress(QHostAddress::LocalHost), 0);
        tic.connectToHost(QHostAddress::LocalHost, controller.localPort(), QIODevice::ReadWrite);
    }

    QUdpSocket controller;
    TicUdpSocket tic;
};

} // namespace

bool fuzzentry::stepper(const uint8_t* data, size_t size)
{
    static StepperRig rig;
    if (size < 2)
        return true;
    const uint8_t length = data[0] & 0x3F;
    const uint8_t offset = data[1];
    const QByteArray reply(reinterpret_cast<const char*>(data + 2), int(qMin<size_t>(size - 2, 512)));

    // The answer is waiting before the request goes out, so the read never waits for it.
    rig.controller.writeDatagram(reply, QHostAddress::LocalHost, rig.tic.localPort());
    std::vector<uint8_t> buffer(length + 1u, 0xA5); // one guard byte past the asked length
    rig.tic.get_segment(tic::kGetVariable, offset, length, buffer.data());
    while (rig.controller.hasPendingDatagrams())
        rig.controller.readDatagram(nullptr, 0);
    while (rig.tic.hasPendingDatagrams()) // an answer the read did not take must not linger
        rig.tic.readDatagram(nullptr, 0);

    // A longer answer is cut to the asked length; a shorter one is no answer.
    const bool answered = reply.size() >= length;
    if (buffer[length] != 0xA5 || (rig.tic.last_error == 0) != answered)
        return false;
    if (answered)
        return std::equal(buffer.begin(), buffer.begin() + length, reply.constData(),
                          [](uint8_t a, char b) { return a == uint8_t(b); });
    return std::all_of(buffer.begin(), buffer.begin() + length, [](uint8_t b) { return b == 0; });
}
