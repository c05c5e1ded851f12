#pragma once

#include <QHostAddress>
#include <QThread>

#include <condition_variable>
#include <mutex>

class TicUdpSocket;

// Keeps the antenna rotator at the operator's angle: its thread polls the stepper controller
// ten times a second, sends new targets and reports a lost controller and a stalled motor.
class SteppingMotor : public QThread {
    Q_OBJECT

public:
    explicit SteppingMotor(QObject* parent = nullptr);
    ~SteppingMotor() override;

    void set_device_addr(const QHostAddress& address, quint16 port);
    void set_angle(double degrees);
    double get_angle();
    void request_zero();
    void request_reinit();
    int start_motor();
    void stop_motor();

signals:
    void signal_TargetReached(double angle);
    void signal_PositionErrorState(bool error);
    void signal_InterfaceError();
    void signal_InterfaceReinit();

protected:
    void run() override;

private:
    struct Poll;

    void bind_socket(TicUdpSocket& tic);
    bool follow_device(TicUdpSocket& tic);
    void exchange(TicUdpSocket& tic, Poll& poll, std::unique_lock<std::mutex>& lock);
    void track_motion(Poll& poll, qint32 pos, qint32 goal);
    void rest(std::unique_lock<std::mutex>& lock);
    double angle_of(qint32 steps) const;

    const QHostAddress bind_address {QHostAddress::Any};  // local end of the controller socket
    const quint16 bind_port = 30000;

    // Shared with the GUI thread and guarded by `mutex`, which the poll thread never holds
    // across controller I/O, so callers never wait for the link. A std::mutex rather than a
    // QMutex: Qt 5 builds its locking out of ThreadSanitizer's sight.
    QHostAddress device_address;
    quint16 device_port = 0;
    qint32 target = 0;
    qint32 position = 0;
    quint8 interface_error = 0;
    std::mutex mutex;
    bool running = false;
    bool zero_request = false;
    bool reinit_request = false;
    std::condition_variable stop_wakeup;  // cuts the pause between polls short on stop

    const double span_angle = 90.0;
    const int span_steps = 2500;
    const double minimum_angle = -90.0;
    const double maximum_angle = 90.0;
};
