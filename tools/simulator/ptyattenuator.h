#pragma once
// The serial step attenuator played on a pseudo-terminal: the station opens the printed device
// name, writes "att-XX.YY" with CR LF and reads "attOK" when the device took the value.

#include "linesplitter.h"

#include <QObject>
#include <QString>

class QSocketNotifier;

class PtyAttenuator : public QObject {
    Q_OBJECT
public:
    explicit PtyAttenuator(QObject* parent = nullptr);
    ~PtyAttenuator() override;

    bool open(QString& error);
    QString deviceName() const { return m_deviceName; }

signals:
    void attenuationChanged(double db);
    void event(const QString& line);

private slots:
    void readCommands();

private:
    int m_master = -1;
    int m_slave = -1; // held open so the terminal stays up between the station's sessions
    QSocketNotifier* m_notifier = nullptr;
    LineSplitter m_lines{64}; // longer than any command: past it a line is noise
    QString m_deviceName;
};
