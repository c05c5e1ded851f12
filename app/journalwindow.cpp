#include "journalwindow.h"
#include "ui_journalwindow.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QScrollBar>

JournalWindow::JournalWindow(Journal& journal, QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::JournalWindow)
    , journal(journal)
    , tableModel(journal)
    , open(QStringLiteral("Журнал"))
{
    ui->setupUi(this);
    ui->journal_tv->setModel(&tableModel);
    ui->journal_tv->header()->setStretchLastSection(true);
    ui->journal_tv->setColumnWidth(JournalModel::TimeColumn, 150);
    ui->journal_tv->setColumnWidth(JournalModel::KindColumn, 150);
    ui->journal_tv->setColumnWidth(JournalModel::ModemColumn, 150);

    ui->journal_kind_cmb->addItem(QStringLiteral("Все события"), -1);
    for (JournalEntry::Kind kind : Journal::allKinds())
        ui->journal_kind_cmb->addItem(Journal::kindName(kind), int(kind));
    ui->journal_modem_cmb->addItem(QStringLiteral("Все модемы"), QString());

    open.setShortcut(QKeySequence(Qt::Key_F4));
    open.setShortcutContext(Qt::ApplicationShortcut);
    connect(&open, &QAction::triggered, this, &JournalWindow::showAndRaise);
    connect(ui->journal_kind_cmb, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &JournalWindow::applyFilter);
    connect(ui->journal_modem_cmb, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &JournalWindow::applyFilter);
    connect(ui->journal_search_le, &QLineEdit::textChanged, this, &JournalWindow::applyFilter);
    connect(ui->journal_export_pb, &QPushButton::clicked, this, &JournalWindow::chooseExportFile);
    connect(&journal, &Journal::appended, this, &JournalWindow::noteEntry);
    connect(&tableModel, &QAbstractItemModel::modelReset, this, &JournalWindow::showCount);
    // The view follows new entries only while the operator has not scrolled up to read.
    connect(&tableModel, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const QScrollBar* bar = ui->journal_tv->verticalScrollBar();
        followNewest = bar->value() == bar->maximum();
    });
    connect(&tableModel, &QAbstractItemModel::rowsInserted, this, [this] {
        if (followNewest && isVisible())
            ui->journal_tv->scrollToBottom();
        showCount();
    });
    connect(&tableModel, &QAbstractItemModel::rowsRemoved, this, &JournalWindow::showCount);
    for (int i = 0; i < journal.size(); ++i)
        noteEntry(journal.at(i), 0);
    showCount();
}

JournalWindow::~JournalWindow()
{
    delete ui;
}

void JournalWindow::showAndRaise()
{
    tableModel.flush();
    show();
    raise();
    activateWindow();
    ui->journal_tv->scrollToBottom();
}

void JournalWindow::applyFilter()
{
    JournalFilter filter;
    const int kind = ui->journal_kind_cmb->currentData().toInt();
    if (kind >= 0)
        filter.kinds = { JournalEntry::Kind(kind) };
    filter.modem = ui->journal_modem_cmb->currentData().toString();
    filter.search = ui->journal_search_le->text().trimmed();
    tableModel.setFilter(filter);
    ui->journal_tv->scrollToBottom();
}

bool JournalWindow::exportTo(const QString& path)
{
    return journal.exportCsv(path, tableModel.filter());
}

void JournalWindow::chooseExportFile()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Экспорт журнала"),
                                                      QStringLiteral("journal.csv"),
                                                      QStringLiteral("CSV (*.csv)"));
    if (!path.isEmpty() && !exportTo(path))
        QMessageBox::warning(this, QStringLiteral("Ошибка!"), QStringLiteral("Не удалось записать файл"));
}

void JournalWindow::noteEntry(const JournalEntry& entry, int)
{
    if (!entry.modem.isEmpty() && !modems.contains(entry.modem)) {
        modems.insert(entry.modem);
        ui->journal_modem_cmb->addItem(entry.modem, entry.modem);
    }
}

void JournalWindow::showCount()
{
    ui->journal_count_l->setText(
        QStringLiteral("Показано %1 из %2").arg(tableModel.rowCount()).arg(journal.size()));
}
