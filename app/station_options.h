#pragma once
// The station's command line: help and version texts, the port and the packet-log folder to
// start with, and Qt's own window options, which pass through to the application object.

#include <QString>
#include <QStringList>

#include <optional>

class StationOptions
{
public:
    enum Outcome {
        Run,   // start the station
        Print, // print text() to standard output and exit 0
        Error, // print text() to standard error and exit 2
    };

    // `arguments` begins with the program name. Needs an application object for the help text.
    Outcome parse(const QStringList& arguments);

    QString text() const { return shown; }
    std::optional<quint16> port() const { return startPort; }
    QString logDirectory() const { return logDir; }
    // The -platform value, empty when not given.
    QString platform() const { return platformName; }

private:
    QString shown;
    std::optional<quint16> startPort;
    QString logDir;
    QString platformName;
};
