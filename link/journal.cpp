#include "journal.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>

namespace {

qint64 systemClock()
{
    return QDateTime::currentMSecsSinceEpoch();
}

QByteArray csvField(const QString& text)
{
    QByteArray field = text.toUtf8();
    if (field.contains(',') || field.contains('"') || field.contains('\n') || field.contains('\r')) {
        field.replace("\"", "\"\"");
        field = '"' + field + '"';
    }
    return field;
}

} // namespace

bool JournalFilter::matches(const JournalEntry& entry) const
{
    if (!kinds.isEmpty() && !kinds.contains(entry.kind))
        return false;
    if (!modem.isEmpty() && entry.modem != modem)
        return false;
    return search.isEmpty() || entry.text.contains(search, Qt::CaseInsensitive)
        || entry.modem.contains(search, Qt::CaseInsensitive);
}

Journal::Journal(int capacity, QObject* parent)
    : QObject(parent)
    , ring(qMax(1, capacity))
    , clock(systemClock)
{
    qRegisterMetaType<JournalEntry>();
}

void Journal::setClock(std::function<qint64()> newClock)
{
    clock = newClock ? std::move(newClock) : systemClock;
}

const JournalEntry& Journal::at(int index) const
{
    return ring.at((head + index) % ring.size());
}

const JournalEntry* Journal::bySerial(quint64 serial) const
{
    if (serial < firstSerial() || serial >= nextSerial)
        return nullptr;
    return &at(int(serial - firstSerial()));
}

QVector<JournalEntry> Journal::matching(const JournalFilter& filter) const
{
    QVector<JournalEntry> found;
    for (int i = 0; i < count; ++i) {
        if (filter.matches(at(i)))
            found.append(at(i));
    }
    return found;
}

QByteArray Journal::toCsv(const JournalFilter& filter) const
{
    QByteArray csv("time,kind,modem,text\r\n");
    for (const JournalEntry& entry : matching(filter)) {
        csv += csvField(QDateTime::fromMSecsSinceEpoch(entry.time).toString(Qt::ISODateWithMs)) + ','
            + csvField(kindName(entry.kind)) + ',' + csvField(entry.modem) + ',' + csvField(entry.text) + "\r\n";
    }
    return csv;
}

bool Journal::exportCsv(const QString& path, const JournalFilter& filter) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning("Journal export: cannot open the file");
        return false;
    }
    const QByteArray csv = toCsv(filter);
    if (file.write(csv) != csv.size()) {
        qWarning("Journal export: write failed");
        return false;
    }
    return file.commit();
}

QString Journal::kindName(JournalEntry::Kind kind)
{
    switch (kind) {
    case JournalEntry::Modem: return QStringLiteral("Модем");
    case JournalEntry::Current: return QStringLiteral("Текущий абонент");
    case JournalEntry::Request: return QStringLiteral("Запрос");
    case JournalEntry::Unsupported: return QStringLiteral("Не поддерживается");
    case JournalEntry::LinkLoss: return QStringLiteral("Потери связи");
    case JournalEntry::Port: return QStringLiteral("Порт");
    case JournalEntry::Rotator: return QStringLiteral("Поворотное устройство");
    case JournalEntry::Attenuator: return QStringLiteral("Аттенюатор");
    case JournalEntry::Call: return QStringLiteral("Вызов");
    case JournalEntry::Test: return QStringLiteral("Тест");
    }
    return QString();
}

QVector<JournalEntry::Kind> Journal::allKinds()
{
    return { JournalEntry::Modem,    JournalEntry::Current, JournalEntry::Request,    JournalEntry::Unsupported,
             JournalEntry::LinkLoss, JournalEntry::Port,    JournalEntry::Rotator,    JournalEntry::Attenuator,
             JournalEntry::Call,     JournalEntry::Test };
}

void Journal::append(JournalEntry::Kind kind, const QString& modem, const QString& text)
{
    int dropped = 0;
    if (count == ring.size()) {
        head = (head + 1) % ring.size();
        --count;
        dropped = 1;
    }
    JournalEntry& entry = ring[(head + count) % ring.size()];
    entry = JournalEntry{ nextSerial++, kind, clock(), modem, text };
    ++count;
    emit appended(entry, dropped);
}
