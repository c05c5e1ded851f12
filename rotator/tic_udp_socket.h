#pragma once

#include "tic_base.h"

#include <QMutex>
#include <QUdpSocket>

// A Tic controller behind a UDP bridge: every command byte is a datagram of its own to the
// connected peer; a variable read is one 3-byte request answered by one datagram.
class TicUdpSocket : public QUdpSocket, public TicBase {
    Q_OBJECT

public:
    explicit TicUdpSocket(QObject* parent = nullptr);

    void command_quick(uint8_t cmd) override;
    void command_32(uint8_t cmd, int32_t data) override;
    void command_7(uint8_t cmd, uint8_t data) override;
    // Waits up to 300 ms for the answer; without exactly `length` bytes of it the buffer is zeroed.
    void get_segment(uint8_t cmd, uint8_t offset, uint8_t length, uint8_t* buffer) override;
    ~TicUdpSocket() override;

    // Address of the Pololu-protocol form, which a connected UDP bridge has no use for.
    const uint8_t device_number = 255;

private:
    bool send(const QByteArray& datagram);
    void send_bytes(std::initializer_list<uint8_t> bytes);

    QMutex mutex;
};
