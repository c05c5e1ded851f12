#include "journal_model.h"

#include <QDateTime>

JournalModel::JournalModel(Journal& journal, QObject* parent)
    : QAbstractTableModel(parent)
    , journal(journal)
{
    connect(&journal, &Journal::appended, this, &JournalModel::follow);
    setFilter({});
}

void JournalModel::setFilter(const JournalFilter& filter)
{
    beginResetModel();
    current = filter;
    serials.clear();
    for (int i = 0; i < journal.size(); ++i) {
        if (current.matches(journal.at(i)))
            serials.append(journal.at(i).serial);
    }
    endResetModel();
}

void JournalModel::follow(const JournalEntry& entry, int)
{
    int gone = 0;
    while (gone < serials.size() && serials.at(gone) < journal.firstSerial())
        ++gone;
    if (gone > 0) {
        beginRemoveRows({}, 0, gone - 1);
        serials.remove(0, gone);
        endRemoveRows();
    }
    if (!current.matches(entry))
        return;
    beginInsertRows({}, serials.size(), serials.size());
    serials.append(entry.serial);
    endInsertRows();
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
