#pragma once
// A relay between two stations that plays a bad radio link on the caller's voice and returns the
// called station's voice as silence, so the caller stays in the call and a sink hears one voice.

#include "speexcodec.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>
#include <algorithm>
#include <deque>
#include <random>

namespace linkrelay {

const QHostAddress kLoopback(QHostAddress::LocalHost);

enum class Link { Clean, Loss20, Jitter100, Bursts11, SwapAdjacent };

class Relay : public QObject
{
public:
    Relay(Link link, quint16 callerPort, quint16 calledPort)
        : link(link), callerPort(callerPort), calledPort(calledPort)
    {
        fromCaller.bind(kLoopback, 0);
        fromCalled.bind(kLoopback, 0);
        connect(&fromCaller, &QUdpSocket::readyRead, this, &Relay::callerSpoke);
        connect(&fromCalled, &QUdpSocket::readyRead, this, &Relay::calledSpoke);
        connect(&release, &QTimer::timeout, this, &Relay::releaseDue);
        release.setTimerType(Qt::PreciseTimer);
        release.start(link == Link::Bursts11 ? 220 : 2);
        clock.start();
        SpeexEncoder encoder;
        encoder.open(8);
        silence = QByteArray(1, char(8 << 3)) + encoder.encode(QByteArray(320, '\0'));
    }
    quint16 callerSide() const { return fromCaller.localPort(); }
    quint16 calledSide() const { return fromCalled.localPort(); }

private:
    void callerSpoke()
    {
        while (fromCaller.hasPendingDatagrams()) {
            const QByteArray datagram = fromCaller.receiveDatagram().data();
            switch (link) {
            case Link::Clean:
                toCalled(datagram);
                break;
            case Link::Loss20:
                if (unit(random) >= 0.2)
                    toCalled(datagram);
                break;
            case Link::Jitter100: // held up to 100 ms, never overtaking
                lastDue = std::max(lastDue, clock.elapsed() + qint64(100 * unit(random)));
                held.push_back({lastDue, datagram});
                break;
            case Link::Bursts11:
                held.push_back({0, datagram});
                break;
            case Link::SwapAdjacent:
                if (held.empty()) {
                    held.push_back({0, datagram});
                } else {
                    toCalled(datagram);
                    toCalled(held.front().second);
                    held.clear();
                }
                break;
            }
        }
    }
    void releaseDue()
    {
        if (link == Link::SwapAdjacent)
            return;
        while (!held.empty() && held.front().first <= clock.elapsed()) {
            toCalled(held.front().second);
            held.pop_front();
        }
    }
    void calledSpoke()
    {
        while (fromCalled.hasPendingDatagrams()) {
            fromCalled.receiveDatagram();
            fromCalled.writeDatagram(silence, kLoopback, callerPort);
        }
    }
    void toCalled(const QByteArray& datagram) { fromCaller.writeDatagram(datagram, kLoopback, calledPort); }

    const Link link;
    const quint16 callerPort, calledPort;
    QUdpSocket fromCaller, fromCalled;
    QTimer release;
    QElapsedTimer clock;
    qint64 lastDue = 0;
    std::deque<std::pair<qint64, QByteArray>> held;
    std::mt19937 random{11};
    std::uniform_real_distribution<double> unit{0.0, 1.0};
    QByteArray silence;
};

} // namespace linkrelay

Q_DECLARE_METATYPE(linkrelay::Link)
