#include "tic_udp_socket.h"

#include <QMutexLocker>

#include <algorithm>

namespace {
constexpr int kAnswerTimeoutMs = 300;
}

TicUdpSocket::TicUdpSocket(QObject* parent)
    : QUdpSocket(parent)
{
}

TicUdpSocket::~TicUdpSocket() = default;

void TicUdpSocket::command_quick(uint8_t cmd)
{
    QMutexLocker locker(&mutex);
    send_bytes({cmd});
    last_error = 0;
}

void TicUdpSocket::command_32(uint8_t cmd, int32_t data)
{
    const auto bits = uint32_t(data);
    uint8_t msbs = 0;
    for (int i = 0; i < 4; ++i)
        msbs |= uint8_t(((bits >> (8 * i + 7)) & 1) << i);

    QMutexLocker locker(&mutex);
    send_bytes({cmd, msbs, uint8_t(bits & 0x7F), uint8_t((bits >> 8) & 0x7F),
                uint8_t((bits >> 16) & 0x7F), uint8_t((bits >> 24) & 0x7F)});
    last_error = 0;
}

void TicUdpSocket::command_7(uint8_t cmd, uint8_t data)
{
    QMutexLocker locker(&mutex);
    send_bytes({cmd, uint8_t(data & 0x7F)});
    last_error = 0;
}

void TicUdpSocket::get_segment(uint8_t cmd, uint8_t offset, uint8_t length, uint8_t* buffer)
{
    const char request[3] = {char(cmd), char(offset & 0x7F),
                             char(((offset >> 1) & 0x40) | (length & 0x3F))};

    QMutexLocker locker(&mutex);
    // Only a connected socket filters what it hears down to the controller's answers.
    const bool answered = send(QByteArray(request, sizeof request))
        && waitForReadyRead(kAnswerTimeoutMs)
        && readDatagram(reinterpret_cast<char*>(buffer), length) == length;
    last_error = answered ? 0 : kNoAnswer;
    if (!answered)
        std::fill_n(buffer, length, uint8_t(0));
}

bool TicUdpSocket::send(const QByteArray& datagram)
{
    if (state() != QAbstractSocket::ConnectedState)
        return false;
    write(datagram);
    return true;
}

void TicUdpSocket::send_bytes(std::initializer_list<uint8_t> bytes)
{
    for (const uint8_t byte : bytes)
        send(QByteArray(1, char(byte)));
}
