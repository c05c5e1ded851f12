// The journal window: its filters and search over the model, a view that follows the ring as it
// drops old entries, export of what is shown, and its F4 action.
#include "journalwindow.h"

#include <QtTest>
#include <QtWidgets>

class TestJournalWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        journal = std::make_unique<Journal>(6);
        window = std::make_unique<JournalWindow>(*journal);
        journal->append(JournalEntry::Modem, QStringLiteral("127.0.0.21:5000"), QStringLiteral("Модем появился"));
        journal->append(JournalEntry::Request, QStringLiteral("127.0.0.21:5000"), QStringLiteral("CMD_GET_REPORT"));
        journal->append(JournalEntry::Request, QStringLiteral("127.0.0.22:5000"), QStringLiteral("CMD_TX_POWER_MODE"));
        journal->append(JournalEntry::Port, QString(), QStringLiteral("Порт 5000 не открыт"));
        window->model().flush();
    }

    void controlsNarrowTheShownEntries_data()
    {
        QTest::addColumn<int>("kindRow"); // row of the kind box; 0 is every kind
        QTest::addColumn<int>("modemRow"); // row of the modem box; 0 is every modem
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<bool>("joins"); // a later request to the second modem, "CMD_TX_POWER_MODE 2"
        QTest::newRow("all") << 0 << 0 << QString()
                             << QStringList{ "Модем появился", "CMD_GET_REPORT", "CMD_TX_POWER_MODE", "Порт 5000 не открыт" } << true;
        QTest::newRow("requests") << 1 + int(JournalEntry::Request) << 0 << QString()
                                  << QStringList{ "CMD_GET_REPORT", "CMD_TX_POWER_MODE" } << true;
        QTest::newRow("second modem") << 0 << 2 << QString() << QStringList{ "CMD_TX_POWER_MODE" } << true;
        QTest::newRow("search") << 0 << 0 << "power" << QStringList{ "CMD_TX_POWER_MODE" } << true;
        QTest::newRow("nothing matches") << 1 + int(JournalEntry::Call) << 0 << QString() << QStringList{} << false;
    }

    void controlsNarrowTheShownEntries()
    {
        QFETCH(int, kindRow);
        QFETCH(int, modemRow);
        QFETCH(QString, search);
        QFETCH(QStringList, shown);
        QFETCH(bool, joins);
        window->findChild<QComboBox*>(QStringLiteral("journal_kind_cmb"))->setCurrentIndex(kindRow);
        window->findChild<QComboBox*>(QStringLiteral("journal_modem_cmb"))->setCurrentIndex(modemRow);
        window->findChild<QLineEdit*>(QStringLiteral("journal_search_le"))->setText(search);
        QCOMPARE(texts(), shown);
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("journal_count_l"))->text(),
                 QStringLiteral("Показано %1 из 4").arg(shown.size()));
        // A new entry that passes the filter joins the view; one that does not stays out.
        journal->append(JournalEntry::Request, QStringLiteral("127.0.0.22:5000"), QStringLiteral("CMD_TX_POWER_MODE 2"));
        QTRY_COMPARE(texts(), joins ? shown + QStringList{ "CMD_TX_POWER_MODE 2" } : shown);
    }

    void viewFollowsTheRingDroppingOldEntries()
    {
        for (int i = 0; i < 4; ++i)
            journal->append(JournalEntry::Modem, QString(), QStringLiteral("later %1").arg(i));
        window->model().flush();
        QCOMPARE(texts(), QStringList({ "CMD_TX_POWER_MODE", "Порт 5000 не открыт", "later 0", "later 1", "later 2", "later 3" }));
        // A burst longer than the ring before the view catches up.
        for (int i = 0; i < 20; ++i)
            journal->append(JournalEntry::Modem, QString(), QStringLiteral("burst %1").arg(i));
        window->model().flush();
        QCOMPARE(texts(), QStringList({ "burst 14", "burst 15", "burst 16", "burst 17", "burst 18", "burst 19" }));
    }

    void exportWritesWhatIsShownAndF4Opens()
    {
        window->findChild<QLineEdit*>(QStringLiteral("journal_search_le"))->setText(QStringLiteral("CMD_"));
        QTemporaryDir folder;
        QVERIFY(window->exportTo(folder.filePath(QStringLiteral("shown.csv"))));
        QFile file(folder.filePath(QStringLiteral("shown.csv")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), 4); // header, two entries, the empty tail after the last CRLF
        QVERIFY(lines.at(1).contains("CMD_GET_REPORT") && lines.at(2).contains("CMD_TX_POWER_MODE"));

        QCOMPARE(window->openAction()->shortcut(), QKeySequence(Qt::Key_F4));
        QVERIFY(window->isHidden());
        window->openAction()->trigger();
        QVERIFY(window->isVisible());
    }

private:
    QStringList texts() const
    {
        QStringList found;
        for (int row = 0; row < window->model().rowCount(); ++row)
            found << window->model().index(row, JournalModel::TextColumn).data().toString();
        return found;
    }

    std::unique_ptr<Journal> journal;
    std::unique_ptr<JournalWindow> window;
};

QTEST_MAIN(TestJournalWindow)
#include "tst_journalwindow.moc"
