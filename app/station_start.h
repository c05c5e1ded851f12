#pragma once
// What the main window starts with beyond its form: a port other than the form's, and the folder
// for packet logs. Left empty, the window starts exactly as its form says.

#include <QString>

#include <optional>

struct StationStart {
    std::optional<quint16> port;
    QString logDirectory; // empty: the working folder
};
