// The station journal's ring, filters and CSV, and the link watch that feeds it modem events
// and report-loss alarms.
#include "journal.h"
#include "link_watch.h"

#include <QtTest>

Q_DECLARE_METATYPE(QVector<JournalEntry::Kind>)

namespace {

// RFC 4180 reader, independent of the writer: quoted fields, doubled quotes, CRLF records.
QList<QStringList> parseCsv(const QString& text)
{
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i), next = i + 1 < text.size() ? text.at(i + 1) : QChar();
        if (c == '"' && quoted && next == '"')
            field += text.at(i++);
        else if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == ',')
            record << field, field.clear();
        else if (!quoted && c == '\r' && next == '\n')
            record << field, records << record, record.clear(), field.clear(), ++i;
        else
            field += c;
    }
    return records;
}

const quint32 kModemIp = 0x7F000015; // 127.0.0.21

} // namespace

class TestJournal : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        now = 1700000000000;
        journal = std::make_unique<Journal>(5);
        journal->setClock([this] { return now; });
        events = std::make_unique<Journal>();
        watch = std::make_unique<LinkWatch>();
        watch->setJournal(events.get());
    }

    void ringKeepsTheNewestEntries_data()
    {
        QTest::addColumn<int>("capacity"); // 0: the station's own journal
        QTest::addColumn<int>("appended");
        QTest::addColumn<int>("expectedSize");
        QTest::newRow("at capacity") << 5 << 5 << 5;
        QTest::newRow("one over") << 5 << 6 << 5;
        QTest::newRow("wrapped twice") << 5 << 13 << 5;
        QTest::newRow("station journal keeps 10 000") << 0 << 10001 << 10000;
    }

    void ringKeepsTheNewestEntries()
    {
        QFETCH(int, capacity); QFETCH(int, appended); QFETCH(int, expectedSize);
        Journal ring(capacity ? capacity : Journal::kDefaultCapacity);
        QSignalSpy spy(&ring, &Journal::appended);
        for (int i = 0; i < appended; ++i)
            ring.append(JournalEntry::Modem, QString(), QString::number(i));
        const QString oldest = QString::number(appended - expectedSize);
        QCOMPARE(ring.size(), expectedSize);
        QCOMPARE(ring.at(0).text, oldest);
        QCOMPARE(ring.at(ring.size() - 1).text, QString::number(appended - 1));
        QCOMPARE(spy.count(), appended);
        QVERIFY(!ring.bySerial(ring.firstSerial() - 1) || ring.firstSerial() == 0);
        QCOMPARE(ring.bySerial(ring.firstSerial())->text, oldest);
        QVERIFY(!ring.bySerial(quint64(appended)));
    }

    void filterSelectsByKindModemAndText_data()
    {
        QTest::addColumn<QVector<JournalEntry::Kind>>("kinds");
        QTest::addColumn<QString>("modem");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("expected");
        const QVector<JournalEntry::Kind> any, requests{ JournalEntry::Request };
        QTest::newRow("everything") << any << QString() << QString() << "abcd";
        QTest::newRow("requests") << requests << QString() << QString() << "bc";
        QTest::newRow("one modem") << any << "127.0.0.21:5000" << QString() << "ab";
        QTest::newRow("search ignores case") << any << QString() << "version" << "c";
        QTest::newRow("search finds the modem") << any << QString() << "0.22" << "cd";
        QTest::newRow("all three") << requests << "127.0.0.22:5000" << "REP" << "c";
    }

    void filterSelectsByKindModemAndText()
    {
        QFETCH(QVector<JournalEntry::Kind>, kinds);
        QFETCH(QString, modem);
        QFETCH(QString, search);
        QFETCH(QString, expected);
        const QString a = QStringLiteral("127.0.0.21:5000"), b = QStringLiteral("127.0.0.22:5000");
        events->append(JournalEntry::Modem, a, QStringLiteral("a appeared"));
        events->append(JournalEntry::Request, a, QStringLiteral("b CMD_GET_REPORT"));
        events->append(JournalEntry::Request, b, QStringLiteral("c REP_VERSION"));
        events->append(JournalEntry::Modem, b, QStringLiteral("d lost"));
        QString found;
        for (const JournalEntry& entry : events->matching({ kinds, modem, search }))
            found += entry.text.at(0);
        QCOMPARE(found, expected);
    }

    void csvParsesBackToTheEntries_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << "Модем появился";
        QTest::newRow("comma") << "CMD_GET_REPORT, REP_VERSION";
        QTest::newRow("quotes") << "say \"hello\"";
        QTest::newRow("line break") << "first\nsecond";
        QTest::newRow("empty") << "";
    }

    void csvParsesBackToTheEntries()
    {
        QFETCH(QString, text);
        journal->append(JournalEntry::Call, QStringLiteral("127.0.0.21:5000"), text);
        now += 1500;
        journal->append(JournalEntry::Port, QString(), QStringLiteral("after"));
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("journal.csv"));
        QVERIFY(journal->exportCsv(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QStringList> records = parseCsv(QString::fromUtf8(file.readAll()));
        QCOMPARE(records.size(), 3);
        QCOMPARE(records.at(0), QStringList({ "time", "kind", "modem", "text" }));
        QCOMPARE(records.at(1).mid(1), QStringList({ Journal::kindName(JournalEntry::Call), "127.0.0.21:5000", text }));
        QCOMPARE(QDateTime::fromString(records.at(1).at(0), Qt::ISODateWithMs).toMSecsSinceEpoch(), now - 1500);
        QCOMPARE(records.at(2).at(3), QStringLiteral("after"));
    }

    void exportToAnUnwritablePlaceFails()
    {
        journal->append(JournalEntry::Modem, QString(), QStringLiteral("x"));
        QTest::ignoreMessage(QtWarningMsg, "Journal export: cannot open the file");
        QVERIFY(!journal->exportCsv(QStringLiteral("/nonexistent/folder/journal.csv")));
    }

    void watchJournalsAppearLostAndReturn()
    {
        for (quint16 seqnum : { 1, 2, 0, 0, 7 }) // 0: the modem is lost
            seqnum ? watch->heard(kModemIp, 5000, seqnum) : watch->lost(kModemIp, 5000);
        QStringList texts;
        for (const JournalEntry& entry : events->matching({}))
            texts << entry.text;
        QCOMPARE(texts, QStringList({ "Модем появился", "Модем потерян", "Модем вернулся" }));
        QCOMPARE(events->at(0).modem, QStringLiteral("127.0.0.21:5000"));
    }

    void watchEstimatesReportLoss_data()
    {
        QTest::addColumn<int>("step"); // sequence-number step between the reports that arrive
        QTest::addColumn<int>("restartEvery"); // the modem restarts its numbering this often, 0 never
        QTest::addColumn<double>("expectedLoss");
        QTest::newRow("none lost") << 1 << 0 << 0.0;
        QTest::newRow("two in three lost") << 3 << 0 << 0.667;
        QTest::newRow("restarts are not loss") << 1 << 7 << 0.0;
    }

    void watchEstimatesReportLoss()
    {
        QFETCH(int, step);
        QFETCH(int, restartEvery);
        QFETCH(double, expectedLoss);
        quint16 seqnum = 65000; // the numbering wraps on the way
        for (int i = 0; i < 400; ++i) {
            seqnum = restartEvery && i % restartEvery == 0 ? 0 : quint16(seqnum + step);
            watch->heard(kModemIp, 5000, seqnum);
        }
        QCOMPARE(events->matching({ { JournalEntry::LinkLoss }, {}, {} }).size(), expectedLoss > 0.1 ? 1 : 0);
        QVERIFY(qAbs(watch->loss(kModemIp, 5000) - expectedLoss) < 0.02);
    }

    void lossAlarmClearsWhenTheLinkRecovers()
    {
        quint16 seqnum = 0;
        for (int i = 0; i < 100; ++i)
            watch->heard(kModemIp, 5000, seqnum += 2);
        for (int i = 0; i < 300; ++i)
            watch->heard(kModemIp, 5000, ++seqnum);
        const QVector<JournalEntry> alarms = events->matching({ { JournalEntry::LinkLoss }, {}, {} });
        QCOMPARE(alarms.size(), 2);
        QVERIFY(alarms.at(0).text.startsWith(QStringLiteral("Потери отчётов 5")));
        QVERIFY(alarms.at(1).text.contains(QStringLiteral("ниже")));
    }

private:
    qint64 now = 0;
    std::unique_ptr<Journal> journal, events;
    std::unique_ptr<LinkWatch> watch;
};

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
