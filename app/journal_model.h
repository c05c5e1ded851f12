#pragma once
// The journal as a table for a view: the entries that pass a filter, newest last, following the
// journal as it grows and as its ring drops the oldest entries.

#include "journal.h"

#include <QAbstractTableModel>
#include <QVector>

class JournalModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { TimeColumn, KindColumn, ModemColumn, TextColumn, ColumnCount };

    explicit JournalModel(Journal& journal, QObject* parent = nullptr);

    void setFilter(const JournalFilter& filter);
    const JournalFilter& filter() const { return current; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void follow(const JournalEntry& entry, int dropped);

    Journal& journal;
    JournalFilter current;
    QVector<quint64> serials; // of the shown entries, oldest first
};
