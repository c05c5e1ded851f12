#pragma once
// The simulated network: its modems, the attenuation they share, and the control commands
// that change a modem or a fault while it runs.

#include "linkquality.h"
#include "simconfig.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class PcapWriter;
class SimModem;
struct ControlCommand;

class SimNetwork : public QObject {
    Q_OBJECT
public:
    explicit SimNetwork(const SimConfig& config, QObject* parent = nullptr);

    // Binds every modem; false with the reason at the first one that cannot be bound.
    bool start(QString& error);

    int count() const { return m_modems.size(); }

    // Every modem writes what it sends and receives into this capture (null: none).
    void setCapture(PcapWriter* capture);

    // One control line; the answer is "ok: <line>" or "error: <reason>", after the help text for "help".
    QString execute(const QString& line);

public slots:
    void setAttenuation(double db);

signals:
    void event(const QString& line);
    void quitRequested();

private:
    QString apply(const ControlCommand& command);
    void tick();

    const SimConfig m_config;
    RadioEnvironment m_radio;
    QList<SimModem*> m_modems;
    QTimer m_ticker;
};
