#include "graphical_session.h"

#include <QStringList>

#include <cstdio>
#include <unistd.h>

namespace graphicalsession {

namespace {

QtMessageHandler previousHandler = nullptr;

struct HeldMessage {
    QtMsgType type;
    QByteArray file;
    int line;
    QByteArray function;
    QByteArray category;
    QString text;
};
QList<HeldMessage> held;

// What one platform plugin needs, or an empty string.
QString missingFor(const QString& plugin, const QProcessEnvironment& environment)
{
    const QString name = plugin.section(QLatin1Char(':'), 0, 0).trimmed();
    if (name.isEmpty() || name == QLatin1String("xcb")) {
        if (environment.value(QStringLiteral("DISPLAY")).isEmpty())
            return QStringLiteral("DISPLAY is not set");
    } else if (name.startsWith(QLatin1String("wayland"))) {
        if (environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty())
            return QStringLiteral("WAYLAND_DISPLAY is not set");
    }
    return {};
}

QString refusal(const QString& reason)
{
    return QStringLiteral("zarnik-station: needs a graphical session (%1); start it from a desktop, "
                          "or see zarnik-station --help")
        .arg(reason);
}

void guard(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtFatalMsg) {
        held.append({ type, context.file, context.line, context.function, context.category, text });
        return;
    }
    // The last warning usually names the cause ("could not connect to display :1").
    QString reason = text.section(QLatin1Char('\n'), 0, 0);
    for (const HeldMessage& message : held) {
        if (message.type == QtWarningMsg || message.type == QtCriticalMsg)
            reason = message.text.section(QLatin1Char('\n'), 0, 0);
    }
    const QByteArray line = refusal(reason).toLocal8Bit() + '\n';
    ::write(STDERR_FILENO, line.constData(), size_t(line.size()));
    ::_exit(1);
}

} // namespace

QString missing(const QString& platform, const QProcessEnvironment& environment)
{
    QString chosen = platform;
    if (chosen.isEmpty())
        chosen = environment.value(QStringLiteral("QT_QPA_PLATFORM"));
    // A list such as "wayland;xcb" is tried in order: one usable entry is enough.
    const QStringList plugins = chosen.split(QLatin1Char(';'));
    QStringList reasons;
    for (const QString& plugin : plugins) {
        const QString reason = missingFor(plugin, environment);
        if (reason.isEmpty())
            return {};
        if (!reasons.contains(reason))
            reasons.append(reason);
    }
    return refusal(reasons.join(QLatin1String(", ")));
}

void beginStartUpGuard()
{
    held.clear();
    previousHandler = qInstallMessageHandler(&guard);
}

void endStartUpGuard()
{
    qInstallMessageHandler(previousHandler);
    const QList<HeldMessage> messages = held;
    held.clear();
    for (const HeldMessage& message : messages) {
        const QMessageLogContext context(message.file.constData(), message.line,
                                         message.function.constData(), message.category.constData());
        qt_message_output(message.type, context, message.text);
    }
}

} // namespace graphicalsession
