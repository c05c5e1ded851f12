#pragma once
// The words after a subcommand: positional arguments, options with a value ("--port 40005",
// "--port=40005", "-o a.json") and plain switches ("--json"). Unknown options are bad input.

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

struct CommandOptions {
    QStringList positional;
    QMap<QString, QStringList> values; // every value an option was given, in order
    QSet<QString> switches;

    bool has(const QString& name) const { return switches.contains(name) || values.contains(name); }
    QString value(const QString& name, const QString& fallback = QString()) const
    {
        return values.value(name).isEmpty() ? fallback : values.value(name).constLast();
    }

    // `withValue` and `plain` list long names without dashes; "o" stands for "output".
    static bool parse(const QStringList& words, const QSet<QString>& withValue, const QSet<QString>& plain,
                      CommandOptions& options, QString& error);
};

namespace commandoptions {

// "3s", "500ms", "2m" or plain seconds; false for anything else or a negative time.
bool parseDuration(const QString& text, int& milliseconds);

// A whole number within [low, high]; false otherwise.
bool parseNumber(const QString& text, int low, int high, int& value);

} // namespace commandoptions
