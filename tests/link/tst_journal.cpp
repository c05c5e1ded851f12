// The station journal's ring, filters and CSV, and the link watch that feeds it modem events
// and report-loss alarms.
#include "journal.h"
#include "link_watch.h"

#include <QtTest>

Q_DECLARE_METATYPE(QVector<JournalEntry::Kind>)

namespace {

// RFC 4180 reader, independent of the writer: quoted fields, doubled quotes, CRLF records.
QList<QStringList> parseCsv(const QByteArray& bytes)
{
    const QString text = QString::fromUtf8(bytes);
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            record << field;
            field.clear();
        } else if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
            record << field;
            records << record;
            record.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
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
    }

    void ringKeepsTheNewestEntries_data()
    {
        QTest::addColumn<int>("appended");
        QTest::addColumn<int>("expectedSize");
        QTest::addColumn<QString>("oldestText");
        QTest::newRow("below capacity") << 3 << 3 << "0";
        QTest::newRow("at capacity") << 5 << 5 << "0";
        QTest::newRow("one over") << 6 << 5 << "1";
        QTest::newRow("wrapped twice") << 13 << 5 << "8";
    }

    void ringKeepsTheNewestEntries()
    {
        QFETCH(int, appended);
        QFETCH(int, expectedSize);
        QFETCH(QString, oldestText);
        QSignalSpy spy(journal.get(), &Journal::appended);
        for (int i = 0; i < appended; ++i)
            journal->append(JournalEntry::Modem, QString(), QString::number(i));
        QCOMPARE(journal->size(), expectedSize);
        QCOMPARE(journal->at(0).text, oldestText);
        QCOMPARE(journal->at(journal->size() - 1).text, QString::number(appended - 1));
        QCOMPARE(spy.count(), appended);
        QVERIFY(!journal->bySerial(journal->firstSerial() - 1) || journal->firstSerial() == 0);
        QCOMPARE(journal->bySerial(journal->firstSerial())->text, oldestText);
        QVERIFY(!journal->bySerial(quint64(appended)));
    }

    void filterSelectsByKindModemAndText_data()
    {
        QTest::addColumn<QVector<JournalEntry::Kind>>("kinds");
        QTest::addColumn<QString>("modem");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("expected");
        const QVector<JournalEntry::Kind> any;
        QTest::newRow("everything") << any << QString() << QString() << QStringList{ "a", "b", "c", "d" };
        QTest::newRow("requests") << QVector<JournalEntry::Kind>{ JournalEntry::Request } << QString() << QString()
                                  << QStringList{ "b", "c" };
        QTest::newRow("one modem") << any << "127.0.0.21:5000" << QString() << QStringList{ "a", "b" };
        QTest::newRow("search ignores case") << any << QString() << "version" << QStringList{ "c" };
        QTest::newRow("search finds the modem") << any << QString() << "0.22" << QStringList{ "c", "d" };
        QTest::newRow("all three") << QVector<JournalEntry::Kind>{ JournalEntry::Request } << "127.0.0.22:5000"
                                   << "REP" << QStringList{ "c" };
        QTest::newRow("nothing") << QVector<JournalEntry::Kind>{ JournalEntry::Call } << QString() << QString()
                                 << QStringList{};
    }

    void filterSelectsByKindModemAndText()
    {
        const std::pair<JournalEntry::Kind, const char*> rows[] = { { JournalEntry::Modem, "127.0.0.21:5000" },
                                                                    { JournalEntry::Request, "127.0.0.21:5000" },
                                                                    { JournalEntry::Request, "127.0.0.22:5000" },
                                                                    { JournalEntry::Modem, "127.0.0.22:5000" } };
        const char* texts[] = { "a appeared", "b CMD_GET_REPORT", "c REP_VERSION", "d lost" };
        Journal big;
        for (int i = 0; i < 4; ++i)
            big.append(rows[i].first, QLatin1String(rows[i].second), QLatin1String(texts[i]));
        QFETCH(QVector<JournalEntry::Kind>, kinds);
        QFETCH(QString, modem);
        QFETCH(QString, search);
        QFETCH(QStringList, expected);
        const JournalFilter filter{ kinds, modem, search };
        QStringList found;
        for (const JournalEntry& entry : big.matching(filter))
            found << entry.text.left(1);
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
        const QList<QStringList> records = parseCsv(file.readAll());
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
        Journal events;
        LinkWatch watch;
        watch.setJournal(&events);
        watch.heard(kModemIp, 5000, 1);
        watch.heard(kModemIp, 5000, 2);
        watch.lost(kModemIp, 5000);
        watch.lost(kModemIp, 5000);
        watch.heard(kModemIp, 5000, 7);
        QStringList texts;
        for (const JournalEntry& entry : events.matching({}))
            texts << entry.text;
        QCOMPARE(texts, QStringList({ "Модем появился", "Модем потерян", "Модем вернулся" }));
        QCOMPARE(events.at(0).modem, QStringLiteral("127.0.0.21:5000"));
    }

    void watchEstimatesReportLoss_data()
    {
        QTest::addColumn<int>("step"); // sequence-number step between the reports that arrive
        QTest::addColumn<int>("restartEvery"); // the modem restarts its numbering this often, 0 never
        QTest::addColumn<bool>("alarmed");
        QTest::addColumn<double>("expectedLoss");
        QTest::newRow("none lost") << 1 << 0 << false << 0.0;
        QTest::newRow("half lost") << 2 << 0 << true << 0.5;
        QTest::newRow("two in three lost") << 3 << 0 << true << 0.667;
        QTest::newRow("restarts are not loss") << 1 << 7 << false << 0.0;
    }

    void watchEstimatesReportLoss()
    {
        QFETCH(int, step);
        QFETCH(int, restartEvery);
        QFETCH(bool, alarmed);
        QFETCH(double, expectedLoss);
        Journal events;
        LinkWatch watch;
        watch.setJournal(&events);
        quint16 seqnum = 65000; // the numbering wraps on the way
        for (int i = 0; i < 400; ++i) {
            seqnum = restartEvery && i % restartEvery == 0 ? 0 : quint16(seqnum + step);
            watch.heard(kModemIp, 5000, seqnum);
        }
        QCOMPARE(events.matching({ { JournalEntry::LinkLoss }, {}, {} }).size(), alarmed ? 1 : 0);
        QVERIFY(qAbs(watch.loss(kModemIp, 5000) - expectedLoss) < 0.02);
    }

    void lossAlarmClearsWhenTheLinkRecovers()
    {
        Journal events;
        LinkWatch watch;
        watch.setJournal(&events);
        quint16 seqnum = 0;
        for (int i = 0; i < 100; ++i)
            watch.heard(kModemIp, 5000, seqnum += 2);
        for (int i = 0; i < 300; ++i)
            watch.heard(kModemIp, 5000, ++seqnum);
        const QVector<JournalEntry> alarms = events.matching({ { JournalEntry::LinkLoss }, {}, {} });
        QCOMPARE(alarms.size(), 2);
        QVERIFY(alarms.at(0).text.startsWith(QStringLiteral("Потери отчётов 5")));
        QVERIFY(alarms.at(1).text.contains(QStringLiteral("ниже")));
    }

private:
    qint64 now = 0;
    std::unique_ptr<Journal> journal;
};

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
