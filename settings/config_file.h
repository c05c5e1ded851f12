#pragma once
// A modem's stored settings as a versioned JSON file that people can read and diff: defaults,
// UART converters and session secret, with the firmware version and band plan they came with.

#include "records.h"
#include "status_records.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

struct ModemConfiguration {
    QString source; // "address:port" the settings were read from; empty when they came from a form
    QString saved;  // UTC time of the backup, ISO 8601
    std::optional<VersionInfo> firmware;
    std::optional<ModemParameters> bandPlan;
    ModemDefaults defaults;
    ConverterConfig converters;
    int secretLength = 0;
    bool secretSave = false;
    std::optional<QByteArray> secret; // the secret itself, only when it is to be kept
};

struct FieldDifference {
    QString field; // e.g. "defaults.sockets[2].dest_port"
    QString left;
    QString right;
};

namespace configfile {

constexpr int kFormatVersion = 1;
extern const char* const kFormatName;

// The sections of the file, as they also appear in other JSON output.
QJsonObject defaultsObject(const ModemDefaults& defaults);
QJsonArray convertersArray(const ConverterConfig& converters);

// Leaf values of a JSON value by path, e.g. "sockets[0].self_port" -> "10001".
QList<QPair<QString, QString>> fields(const QJsonValue& value);

// Indented JSON, every field by name with its unit.
QByteArray toJson(const ModemConfiguration& config);

// False with one line naming the first missing, unknown or out-of-range field, or a newer format.
bool fromJson(const QByteArray& json, ModemConfiguration& config, QString& error);

bool readFile(const QString& path, ModemConfiguration& config, QString& error);
// Written whole or not at all: a failed write leaves an existing file as it was.
bool writeFile(const QString& path, const ModemConfiguration& config, QString& error);

// The settings a restore writes (defaults, converters, secret), compared field by field.
// A secret is compared by its bytes only when both sides hold them.
QList<FieldDifference> compare(const ModemConfiguration& left, const ModemConfiguration& right);

// Differences whose field is not named by a pattern: a whole path ("defaults.ip_addr"), a section
// or path prefix ("converters", "defaults.sockets[1]") or a field name anywhere ("ip_addr").
QList<FieldDifference> withoutIgnored(const QList<FieldDifference>& differences, const QStringList& patterns);

// Strict dotted decimal: four groups 0..255.
bool parseAddress(const QString& text, uint32_t& hostOrder);

} // namespace configfile
