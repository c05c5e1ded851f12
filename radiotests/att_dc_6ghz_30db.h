#pragma once
// Programmable step attenuator on a serial line: one "att-XX.YY" command and one "attOK"
// reply per setting, blocking the caller for at most half a second.

#include <QSerialPort>

class Journal;

class att_dc_6ghz_30db : public QSerialPort {
    Q_OBJECT

public:
    att_dc_6ghz_30db();

    bool initialize(const QString& name);
    bool set_attenuation(double value);
    // Failures also go to the operator's journal, when there is one.
    void setJournal(Journal* journal);

    double attenuation = 0.0; // last value the device acknowledged, dB
    double att_min = 0.0;
    double att_max = 31.75;

private:
    void close_if_lost(QSerialPort::SerialPortError error);
    void journalFailure(const QString& text);

    Journal* journal = nullptr;
};
