#include "att_dc_6ghz_30db.h"
#include "fake_attenuator.h"
#include "journal.h"

#include <QtTest>
#include <memory>

// The attenuator driver against a device played on a pseudo-terminal.
class TestAttenuator : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeAttenuator> device;
    std::unique_ptr<att_dc_6ghz_30db> att;

private slots:
    void init()
    {
        att.reset();  // closes the port before its device goes
        device = std::make_unique<FakeAttenuator>();
        att = std::make_unique<att_dc_6ghz_30db>();
        QVERIFY(att->initialize(device->portName));
    }

    void valueIsSentAndOnlyAnExactFirstReadAccepted_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArrayList>("reply");
        QTest::addColumn<QByteArray>("command");  // none: refused before anything is written
        QTest::addColumn<QString>("refusal");     // the debug line of a refused value or reply
        const QByteArrayList ok{"attOK"};
        QTest::newRow("two places") << 12.75 << ok << QByteArray("att-12.75\r\n") << QString();
        QTest::newRow("third place dropped") << 15.875 << ok << QByteArray("att-15.87\r\n") << QString();
        QTest::newRow("leading zero") << 7.9375 << ok << QByteArray("att-07.93\r\n") << QString();
        QTest::newRow("beyond the device still sent") << 47.625 << ok << QByteArray("att-47.62\r\n") << QString();
        QTest::newRow("below zero") << -31.75 << ok << QByteArray() << "^att value out of range: ";
        QTest::newRow("three digits") << 100.0 << ok << QByteArray() << "^att value out of range: ";
        QTest::newRow("line end after the reply") << 12.75 << QByteArrayList{"attOK\r\n"} << QByteArray("att-12.75\r\n") << "^att strncmp ret: [1-9]";
        QTest::newRow("reply split over two reads") << 12.75 << QByteArrayList{"att", "OK"} << QByteArray("att-12.75\r\n") << "^att strncmp ret: -";
        QTest::newRow("silence") << 12.75 << QByteArrayList{} << QByteArray("att-12.75\r\n") << "^att set failed!$";
    }

    void valueIsSentAndOnlyAnExactFirstReadAccepted()
    {
        QFETCH(double, value);
        QFETCH(QByteArrayList, reply);
        QFETCH(QByteArray, command);
        QFETCH(QString, refusal);
        device->setReply(reply);
        if (!refusal.isEmpty())
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression(refusal));
        QCOMPARE(att->set_attenuation(value), refusal.isEmpty());
        QCOMPARE(device->commands(), QByteArrayList{"att-00.00\r\n"} + (command.isEmpty() ? QByteArrayList() : QByteArrayList{command}));
        QCOMPARE(att->attenuation, refusal.isEmpty() ? value : 0.0);
    }

    // A start whose command went unanswered leaves the port open: the next one begins afresh.
    void initializeAgainAfterAnUnansweredStart()
    {
        device->setReply({});
        QVERIFY(!att->initialize(device->portName));
        device->setReply({"attOK"});
        QVERIFY(att->initialize(device->portName));
    }

    void failuresReachTheJournal_data()
    {
        QTest::addColumn<QByteArrayList>("reply");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("entry");
        QTest::newRow("taken") << QByteArrayList{"attOK"} << 12.75 << QString();
        QTest::newRow("silence") << QByteArrayList{} << 12.75 << "Аттенюатор не ответил на att-12.75";
        QTest::newRow("wrong reply") << QByteArrayList{"attERR"} << 12.75 << "Аттенюатор ответил «attERR» на att-12.75";
        QTest::newRow("out of range") << QByteArrayList{"attOK"} << 100.0 << "Ослабление 100 дБ вне диапазона аттенюатора";
    }

    void failuresReachTheJournal()
    {
        QFETCH(QByteArrayList, reply);
        QFETCH(double, value);
        QFETCH(QString, entry);
        Journal journal;
        att->setJournal(&journal);
        device->setReply(reply);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^att "));
        att->set_attenuation(value);
        QCOMPARE(journal.size(), entry.isEmpty() ? 0 : 1);
        if (!entry.isEmpty()) {
            QCOMPARE(journal.at(0).kind, JournalEntry::Attenuator);
            QCOMPARE(journal.at(0).text, entry);
        }
    }

    void absentDeviceReachesTheJournal()
    {
        Journal journal;
        att_dc_6ghz_30db absent;
        absent.setJournal(&journal);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^att can't open: "));
        QVERIFY(!absent.initialize(QStringLiteral("/dev/no-such-attenuator")));
        QCOMPARE(journal.size(), 1);
        QVERIFY(journal.at(0).text.startsWith(QStringLiteral("Аттенюатор /dev/no-such-attenuator не открывается")));
    }

    void unpluggedDeviceClosesThePort()
    {
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^att port lost: "));
        device->unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!att->isOpen(), 5000);
        QTest::ignoreMessage(QtDebugMsg, "att write failed: -1");
        QVERIFY(!att->set_attenuation(3.0));
    }
};

QTEST_GUILESS_MAIN(TestAttenuator)
#include "tst_att_dc_6ghz_30db.moc"
