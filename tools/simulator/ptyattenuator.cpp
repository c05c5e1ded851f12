#include "ptyattenuator.h"

#include <QRegularExpression>
#include <QSocketNotifier>

#include <cerrno>
#include <optional>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr double kMaxDb = 31.75; // the most the device attenuates

// The value of one command line as read up to its LF; empty for a line the device refuses.
std::optional<double> parseCommand(const QByteArray& line)
{
    static const QRegularExpression pattern(QStringLiteral("^att-(\\d\\d)\\.(\\d\\d)\\r$"));
    const QRegularExpressionMatch m = pattern.match(QString::fromLatin1(line));
    if (!m.hasMatch())
        return std::nullopt;
    const double db = m.captured(1).toInt() + m.captured(2).toInt() / 100.0;
    if (db > kMaxDb)
        return std::nullopt;
    return db;
}

} // namespace

PtyAttenuator::PtyAttenuator(QObject* parent)
    : QObject(parent)
{
}

PtyAttenuator::~PtyAttenuator()
{
    delete m_notifier;
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
}

bool PtyAttenuator::open(QString& error)
{
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (::openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
        error = QStringLiteral("cannot open a pseudo-terminal: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_deviceName = QString::fromLocal8Bit(name);
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyAttenuator::readCommands);
    return true;
}

void PtyAttenuator::readCommands()
{
    char buffer[256];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    if (n <= 0)
        return;
    for (const LineSplitter::Piece& piece : m_lines.feed(buffer, int(n))) {
        const std::optional<double> db = piece.kind == LineSplitter::Kind::Line ? parseCommand(piece.line) : std::nullopt;
        // The new value holds before the station hears that it was taken.
        if (db)
            emit attenuationChanged(*db);
        const char* reply = db ? "attOK" : "attERR";
        const ssize_t length = ssize_t(std::strlen(reply));
        if (::write(m_master, reply, size_t(length)) != length)
            emit event(QStringLiteral("attenuator: reply not written"));
        emit event(QStringLiteral("attenuator: \"%1\" -> %2").arg(QString::fromLatin1(piece.line.trimmed()), QLatin1String(reply)));
    }
}
