#include "stepping_motor.h"

#include "tic_commands.h"
#include "tic_udp_socket.h"

#include <QtDebug>

#include <chrono>
#include <cmath>
#include <utility>

namespace {
constexpr std::chrono::milliseconds kPollInterval(100);
constexpr int kStallPolls = 20;  // unchanged polls tolerated before a stall is reported
}

// What the poll thread remembers between polls; no other thread sees it.
struct SteppingMotor::Poll {
    quint8 previous_error = TicBase::kNoAnswer;  // silent until the controller first answers
    qint32 last_target_sent = 0;
    qint32 last_position_seen = 0;
    int stall_count = 0;
    bool stall_reported = false;
};

SteppingMotor::SteppingMotor(QObject* parent)
    : QThread(parent)
{
}

SteppingMotor::~SteppingMotor()
{
    stop_motor();
}

void SteppingMotor::set_device_addr(const QHostAddress& address, quint16 port)
{
    std::lock_guard<std::mutex> guard(mutex);
    device_address = address;
    device_port = port;
}

void SteppingMotor::set_angle(double degrees)
{
    if (!(degrees >= minimum_angle && degrees <= maximum_angle))
        return;
    const auto steps = qint32(std::round(span_steps * degrees / span_angle));
    std::lock_guard<std::mutex> guard(mutex);
    target = steps;
}

double SteppingMotor::get_angle()
{
    std::lock_guard<std::mutex> guard(mutex);
    return interface_error != 0 ? qQNaN() : angle_of(position);
}

void SteppingMotor::request_zero()
{
    std::lock_guard<std::mutex> guard(mutex);
    zero_request = true;
}

void SteppingMotor::request_reinit()
{
    std::lock_guard<std::mutex> guard(mutex);
    reinit_request = true;
}

int SteppingMotor::start_motor()
{
    {
        std::lock_guard<std::mutex> guard(mutex);
        if (running)
            return -1;
        running = true;
    }
    start(QThread::TimeCriticalPriority);
    return 0;
}

void SteppingMotor::stop_motor()
{
    {
        std::lock_guard<std::mutex> guard(mutex);
        running = false;
        stop_wakeup.notify_all();
    }
    wait();
}

void SteppingMotor::run()
{
    TicUdpSocket tic;
    Poll poll;
    std::unique_lock<std::mutex> lock(mutex);
    while (running) {
        if (tic.state() == QAbstractSocket::UnconnectedState)
            bind_socket(tic);
        else if (follow_device(tic))
            exchange(tic, poll, lock);
        rest(lock);
    }
}

void SteppingMotor::bind_socket(TicUdpSocket& tic)
{
    const bool bound = tic.bind(bind_address, bind_port,
                                QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
    qDebug().noquote() << QStringLiteral("bind %1:%2").arg(bind_address.toString()).arg(bind_port)
                       << bound;
}

// Points the socket at the controller; false when the old connection had to be dropped
// first (a connected UDP socket cannot be re-pointed, so it is closed and bound afresh).
bool SteppingMotor::follow_device(TicUdpSocket& tic)
{
    // Only a unicast address names a controller: a modem that reports 0.0.0.0 has none, and
    // polls must never go out as broadcasts.
    const bool wanted = device_port != 0 && !device_address.isNull()
        && !device_address.isEqual(QHostAddress::Any, QHostAddress::ConvertUnspecifiedAddress)
        && !device_address.isBroadcast() && !device_address.isMulticast();
    if (tic.state() == QAbstractSocket::ConnectedState) {
        if (wanted && tic.peerPort() == device_port
            && tic.peerAddress().isEqual(device_address, QHostAddress::TolerantConversion))
            return true;
        tic.abort();
        return false;
    }
    if (wanted) {
        tic.connectToHost(device_address, device_port, QIODevice::ReadWrite);
        // Whatever reached the port before the connection filtered it is not the controller's.
        while (tic.hasPendingDatagrams())
            tic.readDatagram(nullptr, 0);
    }
    return true;
}

// One command exchange. Entered and left with the mutex held; releases it around the I/O
// and publishes the results before signalling them, so a slot reading get_angle sees them.
void SteppingMotor::exchange(TicUdpSocket& tic, Poll& poll, std::unique_lock<std::mutex>& lock)
{
    const bool zero = std::exchange(zero_request, false);
    const bool reinit = std::exchange(reinit_request, false);
    if (zero)
        target = 0;
    const qint32 goal = target;
    lock.unlock();

    if (zero) {
        tic.command_32(tic::kHaltAndSetPosition, 0);
        poll.last_target_sent = 0;
    }
    if (goal != poll.last_target_sent) {
        tic.command_quick(tic::kExitSafeStart);
        tic.command_32(tic::kSetTargetPosition, goal);
    }
    poll.last_target_sent = goal;

    uint8_t answer[4];
    tic.get_segment(tic::kGetVariable, tic::kCurrentPosition, sizeof answer, answer);
    const qint32 pos = qint32(uint32_t(answer[0]) | uint32_t(answer[1]) << 8
                              | uint32_t(answer[2]) << 16 | uint32_t(answer[3]) << 24);
    const quint8 err = tic.last_error;
    const bool adopt = err == 0 && (poll.previous_error != 0 || reinit);
    if (err == 0 && !adopt && pos != goal)
        tic.command_quick(tic::kResetCommandTimeout);

    lock.lock();
    position = pos;
    interface_error = err;
    if (adopt)
        target = pos;
    else if (reinit)
        reinit_request = true;  // still owed: the controller has not answered
    lock.unlock();

    if (adopt) {
        poll.last_target_sent = pos;
        poll.last_position_seen = pos;
        emit signal_InterfaceReinit();
    } else if (err == 0) {
        track_motion(poll, pos, goal);
    } else if (poll.previous_error == 0) {
        emit signal_InterfaceError();
    }
    poll.previous_error = err;
    lock.lock();
}

void SteppingMotor::track_motion(Poll& poll, qint32 pos, qint32 goal)
{
    if (pos == goal) {
        // Reaching the target ends a run of unmoved polls: only polls in a row that stay
        // short of one target make a stall, however many targets came before.
        poll.stall_count = 0;
        if (pos != poll.last_position_seen) {
            poll.last_position_seen = pos;
            emit signal_TargetReached(angle_of(pos));
        }
    } else if (pos == poll.last_position_seen) {
        if (poll.stall_count < kStallPolls) {
            ++poll.stall_count;
        } else if (!poll.stall_reported) {
            poll.stall_reported = true;
            qDebug("position_error");
            emit signal_PositionErrorState(true);
        }
    } else {
        poll.stall_count = 0;
        poll.last_position_seen = pos;
        if (poll.stall_reported) {
            poll.stall_reported = false;
            emit signal_PositionErrorState(false);
        }
    }
}

// The pause between polls, with the mutex released; stop_motor ends it at once.
void SteppingMotor::rest(std::unique_lock<std::mutex>& lock)
{
    stop_wakeup.wait_for(lock, kPollInterval, [this] { return !running; });
}

double SteppingMotor::angle_of(qint32 steps) const
{
    return double(steps) / span_steps * span_angle;
}
