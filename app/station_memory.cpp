#include "station_memory.h"

#include <QLineEdit>
#include <QSettings>
#include <QSpinBox>

namespace {

const QString kPortKey = QStringLiteral("station/port");
const QString kAttenuatorKey = QStringLiteral("station/attenuator");
const QLatin1String kPortField("pc_port_spb");
const QLatin1String kAttenuatorField("testing_att_name_le");

} // namespace

StationMemory::StationMemory(QSettings& settings)
    : settings(settings)
{
}

std::optional<quint16> StationMemory::lastPort() const
{
    bool ok = false;
    const uint port = settings.value(kPortKey).toUInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return std::nullopt;
    return quint16(port);
}

void StationMemory::restoreAttenuator(QWidget* mainWindow) const
{
    const QString device = settings.value(kAttenuatorKey).toString();
    auto* field = mainWindow->findChild<QLineEdit*>(kAttenuatorField);
    if (field && !device.isEmpty())
        field->setText(device);
}

void StationMemory::save(const QWidget* mainWindow)
{
    if (const auto* port = mainWindow->findChild<QSpinBox*>(kPortField))
        settings.setValue(kPortKey, port->value());
    if (const auto* field = mainWindow->findChild<QLineEdit*>(kAttenuatorField))
        settings.setValue(kAttenuatorKey, field->text());
}
