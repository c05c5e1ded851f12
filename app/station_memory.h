#pragma once
// The operator's last local port and attenuator device, kept in the given settings between runs
// and handed back at the next start; nothing saved means the form's own values.

#include <QString>

#include <optional>

class QSettings;
class QWidget;

class StationMemory
{
public:
    explicit StationMemory(QSettings& settings);

    std::optional<quint16> lastPort() const;
    // Puts the saved attenuator device into the field inside `mainWindow`, if one was saved.
    void restoreAttenuator(QWidget* mainWindow) const;
    // Saves the port field's value and the attenuator device of `mainWindow`.
    void save(const QWidget* mainWindow);

private:
    QSettings& settings;
};
