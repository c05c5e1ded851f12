#pragma once
// The command line of zarnik-log.

#include "logfilter.h"
#include "logformatter.h"

#include <QString>
#include <QStringList>

struct LogToolOptions {
    QStringList files;
    LogFormatter::Format format = LogFormatter::Text;
    LogFilter filter;
    bool follow = false;
    bool stats = false;
    QString pcap;
    quint32 stationAddress = 0; // host order; the pcap's side of the station
    quint16 stationPort = 40005;

    enum Status { Run, Help, Error };
    // `arguments` includes the program name. On Help or Error, `text` says what to print.
    Status parse(const QStringList& arguments, QString& text);
};
