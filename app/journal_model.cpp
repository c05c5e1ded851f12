#include "journal_model.h"

#include <QDateTime>

JournalModel::JournalModel(Journal& journal, QObject* parent)
    : QAbstractTableModel(parent)
    , journal(journal)
{
    connect(&journal, &Journal::appended, this, &JournalModel::follow);
    batchTimer.setSingleShot(true);
    batchTimer.setInterval(kBatchMs);
    connect(&batchTimer, &QTimer::timeout, this, &JournalModel::flush);
    setFilter({});
}

void JournalModel::setFilter(const JournalFilter& filter)
{
    beginResetModel();
    current = filter;
    serials.clear();
    pending.clear();
    batchTimer.stop();
    for (int i = 0; i < journal.size(); ++i) {
        if (current.matches(journal.at(i)))
            serials.append(journal.at(i).serial);
    }
    endResetModel();
}

void JournalModel::follow(const JournalEntry& entry, int)
{
    if (current.matches(entry))
        pending.append(entry.serial);
    if (!batchTimer.isActive())
        batchTimer.start();
}

void JournalModel::flush()
{
    const quint64 first = journal.firstSerial();
    int gone = 0;
    while (gone < serials.size() && serials.at(gone) < first)
        ++gone;
    if (gone > 0) {
        beginRemoveRows({}, 0, gone - 1);
        serials.remove(0, gone);
        endRemoveRows();
    }
    // A burst longer than the ring drops entries before they were ever shown.
    int stale = 0;
    while (stale < pending.size() && pending.at(stale) < first)
        ++stale;
    if (stale < pending.size()) {
        beginInsertRows({}, serials.size(), serials.size() + pending.size() - stale - 1);
        serials += pending.mid(stale);
        endInsertRows();
    }
    pending.clear();
}

int JournalModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : serials.size();
}

int JournalModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant JournalModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= serials.size())
        return {};
    const JournalEntry* entry = journal.bySerial(serials.at(index.row()));
    if (!entry)
        return {};
    switch (index.column()) {
    case TimeColumn: return QDateTime::fromMSecsSinceEpoch(entry->time).toString(QStringLiteral("dd.MM HH:mm:ss.zzz"));
    case KindColumn: return Journal::kindName(entry->kind);
    case ModemColumn: return entry->modem;
    case TextColumn: return entry->text;
    default: return {};
    }
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case TimeColumn: return QStringLiteral("Время");
    case KindColumn: return QStringLiteral("Событие");
    case ModemColumn: return QStringLiteral("Модем");
    case TextColumn: return QStringLiteral("Описание");
    default: return {};
    }
}
