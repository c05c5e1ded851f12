#include "att_dc_6ghz_30db.h"

#include "journal.h"

#include <QDebug>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kReplyWaitMs = 500;
constexpr int kBufferSize = 32;
constexpr char kReply[] = "attOK";

// Hundredths of a dB, rounded down. The small bias keeps a decimal value such as 0.57 dB from
// losing a hundredth to binary rounding; binary fractions of the searches are not affected.
double hundredths_of(double value)
{
    return std::floor(value * 100.0 + 1e-9);
}

} // namespace

att_dc_6ghz_30db::att_dc_6ghz_30db()
{
    connect(this, &QSerialPort::errorOccurred, this, &att_dc_6ghz_30db::close_if_lost,
            Qt::QueuedConnection);
}

bool att_dc_6ghz_30db::initialize(const QString& name)
{
    // A start whose first command went unanswered leaves the port open; begin afresh.
    if (isOpen())
        close();
    setPortName(name);
    setBaudRate(115200, AllDirections);
    if (open(ReadWrite))
        return set_attenuation(0.0);
    qDebug().noquote() << "att can't open: " + name;
    journalFailure(QStringLiteral("Аттенюатор %1 не открывается: %2").arg(name, errorString()));
    return false;
}

bool att_dc_6ghz_30db::set_attenuation(double value)
{
    // The command has room for two digits on each side of the point and no sign.
    const double hundredths = hundredths_of(value);
    if (!(hundredths >= 0.0 && hundredths < 10000.0)) {
        qDebug().noquote() << "att value out of range: " + QString::number(value);
        journalFailure(QStringLiteral("Ослабление %1 дБ вне диапазона аттенюатора").arg(value));
        return false;
    }
    const int h = static_cast<int>(hundredths);
    char command[kBufferSize];
    const int length = std::snprintf(command, sizeof command, "att-%02d.%02d\r\n", h / 100, h % 100);
    qDebug().noquote() << QStringLiteral("att write(%1): %2").arg(length).arg(QLatin1String(command));

    const qint64 written = write(command, length);
    if (written < length) {
        qDebug().noquote() << QStringLiteral("att write failed: %1").arg(written);
        journalFailure(QStringLiteral("Команда аттенюатору не записана"));
        return false;
    }
    if (!waitForReadyRead(kReplyWaitMs)) {
        qDebug().noquote() << "att set failed!";
        journalFailure(QStringLiteral("Аттенюатор не ответил на %1").arg(QLatin1String(command).trimmed()));
        return false;
    }

    char reply[kBufferSize] = {};
    const qint64 got = read(reply, sizeof reply);
    qDebug().noquote() << QStringLiteral("att read (%1): %2")
                              .arg(got)
                              .arg(QString::fromLatin1(reply, int(qMax<qint64>(got, 0))));
    const int cmp = std::strncmp(reply, kReply, sizeof kReply);
    if (cmp != 0) {
        qDebug().noquote() << QStringLiteral("att strncmp ret: %1").arg(cmp);
        journalFailure(QStringLiteral("Аттенюатор ответил «%1» на %2")
                           .arg(QString::fromLatin1(reply, int(qMax<qint64>(got, 0))).trimmed(),
                                QLatin1String(command).trimmed()));
        return false;
    }
    attenuation = value;
    return true;
}

void att_dc_6ghz_30db::close_if_lost(QSerialPort::SerialPortError error)
{
    // A device that has gone away (a hung-up line reads as end of file) keeps the port
    // failing on every notification; let go of it.
    if ((error != ResourceError && error != ReadError) || !isOpen())
        return;
    qDebug().noquote() << "att port lost: " + errorString();
    journalFailure(QStringLiteral("Аттенюатор %1 отключился: %2").arg(portName(), errorString()));
    close();
}

void att_dc_6ghz_30db::setJournal(Journal* journal)
{
    this->journal = journal;
}

void att_dc_6ghz_30db::journalFailure(const QString& text)
{
    if (journal)
        journal->append(JournalEntry::Attenuator, QString(), text);
}
