#pragma once
// The journal as a table for a view: the entries that pass a filter, newest last, following the
// journal as it grows and as its ring drops the oldest entries.

#include "journal.h"

#include <QAbstractTableModel>
#include <QTimer>
#include <QVector>

class JournalModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { TimeColumn, KindColumn, ModemColumn, TextColumn, ColumnCount };

    explicit JournalModel(Journal& journal, QObject* parent = nullptr);

    // A view learns of new entries in batches this often: row changes cost a view time in the
    // number of rows, so a burst of entries must not pay it per entry.
    static constexpr int kBatchMs = 50;

    void setFilter(const JournalFilter& filter);
    const JournalFilter& filter() const { return current; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

public slots:
    // Shows the entries still waiting for their batch.
    void flush();

private:
    void follow(const JournalEntry& entry, int dropped);

    Journal& journal;
    JournalFilter current;
    QVector<quint64> serials; // of the shown entries, oldest first
    QVector<quint64> pending; // matching entries not yet shown
    QTimer batchTimer;
};
