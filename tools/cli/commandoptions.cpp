#include "commandoptions.h"

#include <QRegularExpression>

bool CommandOptions::parse(const QStringList& words, const QSet<QString>& withValue, const QSet<QString>& plain,
                           CommandOptions& options, QString& error)
{
    for (int i = 0; i < words.size(); ++i) {
        const QString word = words.at(i);
        if (!word.startsWith('-') || word == QLatin1String("-")) {
            options.positional << word;
            continue;
        }
        QString name = word.mid(word.startsWith(QLatin1String("--")) ? 2 : 1);
        QString value;
        bool inline_ = false;
        const int equals = name.indexOf('=');
        if (equals >= 0) {
            value = name.mid(equals + 1);
            name = name.left(equals);
            inline_ = true;
        }
        if (name == QLatin1String("o"))
            name = QStringLiteral("output");
        if (plain.contains(name) && !inline_) {
            options.switches.insert(name);
        } else if (withValue.contains(name)) {
            if (!inline_) {
                if (i + 1 >= words.size()) {
                    error = QStringLiteral("option %1 needs a value").arg(word);
                    return false;
                }
                value = words.at(++i);
            }
            options.values[name] << value;
        } else {
            error = QStringLiteral("unknown option %1").arg(word);
            return false;
        }
    }
    return true;
}

namespace commandoptions {

bool parseDuration(const QString& text, int& milliseconds)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,7})(ms|s|m)?$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return false;
    const qint64 amount = m.captured(1).toLongLong();
    const QString unit = m.captured(2);
    const qint64 factor = unit == QLatin1String("ms") ? 1 : unit == QLatin1String("m") ? 60000 : 1000;
    if (amount * factor > 24LL * 3600 * 1000)
        return false;
    milliseconds = int(amount * factor);
    return true;
}

bool parseNumber(const QString& text, int low, int high, int& value)
{
    bool isNumber = false;
    const int v = text.toInt(&isNumber, 10);
    if (!isNumber || text.trimmed() != text || v < low || v > high)
        return false;
    value = v;
    return true;
}

} // namespace commandoptions
