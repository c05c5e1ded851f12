#include "att_dc_6ghz_30db.h"
#include "fake_attenuator.h"

#include <QtTest>
#include <cmath>
#include <memory>

// The attenuator driver against a device played on a pseudo-terminal.
class TestAttenuator : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void initializeOpensAt115200AndSetsZero();
    void initializeOfMissingPortFails();
    void initializeRetriesAfterAnUnansweredStart();
    void commandCarriesWholeDecibelsAndHundredths_data();
    void commandCarriesWholeDecibelsAndHundredths();
    void onlyAnExactFirstReadIsAccepted_data();
    void onlyAnExactFirstReadIsAccepted();
    void valueTheCommandCannotCarryIsNeverSent_data();
    void valueTheCommandCannotCarryIsNeverSent();
    void unpluggedDeviceClosesThePort();
    void deviceVanishingMidCommandFailsAndClosesThePort();
    void closedPortFailsAtTheWrite();

private:
    std::unique_ptr<FakeAttenuator> device;
    std::unique_ptr<att_dc_6ghz_30db> att;
};

void TestAttenuator::init()
{
    device = std::make_unique<FakeAttenuator>();
    QVERIFY(!device->portName().isEmpty());
    att = std::make_unique<att_dc_6ghz_30db>();
}

void TestAttenuator::cleanup()
{
    att.reset();
    device.reset();
}

void TestAttenuator::initializeOpensAt115200AndSetsZero()
{
    att->attenuation = 5.0;
    QTest::ignoreMessage(QtDebugMsg, "att write(11): att-00.00\r\n");
    QTest::ignoreMessage(QtDebugMsg, "att read (5): attOK");
    QVERIFY(att->initialize(device->portName()));
    QVERIFY(att->isOpen());
    QVERIFY(device->lineAt115200());
    QCOMPARE(device->commands(), QByteArrayList{"att-00.00\r\n"});
    QCOMPARE(att->attenuation, 0.0);
}

void TestAttenuator::initializeOfMissingPortFails()
{
    QTest::ignoreMessage(QtDebugMsg, "att can't open: /dev/no-such-attenuator");
    QVERIFY(!att->initialize("/dev/no-such-attenuator"));
    QVERIFY(!att->isOpen());
}

void TestAttenuator::initializeRetriesAfterAnUnansweredStart()
{
    device->setReply({});
    QVERIFY(!att->initialize(device->portName()));
    device->setReply({"attOK"});
    QVERIFY(att->initialize(device->portName()));
    QCOMPARE(device->commands().size(), 2);
}

void TestAttenuator::commandCarriesWholeDecibelsAndHundredths_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("two places") << 12.75 << QByteArray("att-12.75\r\n");
    QTest::newRow("third place dropped") << 15.875 << QByteArray("att-15.87\r\n");
    QTest::newRow("leading zero") << 7.9375 << QByteArray("att-07.93\r\n");
    QTest::newRow("device maximum") << 31.75 << QByteArray("att-31.75\r\n");
    QTest::newRow("finest search step") << 0.248046875 << QByteArray("att-00.24\r\n");
    QTest::newRow("decimal hundredths survive binary") << 0.57 << QByteArray("att-00.57\r\n");
    QTest::newRow("decimal tenths survive binary") << 2.3 << QByteArray("att-02.30\r\n");
    QTest::newRow("beyond the device still sent") << 47.625 << QByteArray("att-47.62\r\n");
    QTest::newRow("largest the command carries") << 99.99 << QByteArray("att-99.99\r\n");
}

void TestAttenuator::commandCarriesWholeDecibelsAndHundredths()
{
    QFETCH(double, value);
    QFETCH(QByteArray, command);
    QVERIFY(att->initialize(device->portName()));
    QVERIFY(att->set_attenuation(value));
    QCOMPARE(device->commands().value(1), command);
    QCOMPARE(att->attenuation, value);
}

void TestAttenuator::onlyAnExactFirstReadIsAccepted_data()
{
    QTest::addColumn<QByteArrayList>("reply");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("message");
    QTest::newRow("exact") << QByteArrayList{"attOK"} << true << QString();
    QTest::newRow("line end after it") << QByteArrayList{"attOK\r\n"} << false << "^att strncmp ret: [1-9]";
    QTest::newRow("split over two reads") << QByteArrayList{"att", "OK"} << false << "^att strncmp ret: -";
    QTest::newRow("refusal") << QByteArrayList{"attERR"} << false << "^att strncmp ret: -";
    QTest::newRow("silence") << QByteArrayList{} << false << "^att set failed!$";
}

void TestAttenuator::onlyAnExactFirstReadIsAccepted()
{
    QFETCH(QByteArrayList, reply);
    QFETCH(bool, accepted);
    QFETCH(QString, message);
    QVERIFY(att->initialize(device->portName()));
    device->setReply(reply);
    if (!message.isEmpty())
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(message));
    QCOMPARE(att->set_attenuation(12.75), accepted);
    QCOMPARE(att->attenuation, accepted ? 12.75 : 0.0);
}

void TestAttenuator::valueTheCommandCannotCarryIsNeverSent_data()
{
    QTest::addColumn<double>("value");
    QTest::newRow("below zero") << -0.01;
    QTest::newRow("failed first point of a search") << -31.75;
    QTest::newRow("three digits") << 100.0;
    QTest::newRow("rounds up to three digits") << 99.9999999999999;
    QTest::newRow("not a number") << std::nan("");
    QTest::newRow("infinite") << HUGE_VAL;
}

void TestAttenuator::valueTheCommandCannotCarryIsNeverSent()
{
    QFETCH(double, value);
    QVERIFY(att->initialize(device->portName()));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^att value out of range: "));
    QVERIFY(!att->set_attenuation(value));
    QCOMPARE(att->attenuation, 0.0);
    // The next command is the first one the device hears after the initial one.
    QVERIFY(att->set_attenuation(5.5));
    QCOMPARE(device->commands(), (QByteArrayList{"att-00.00\r\n", "att-05.50\r\n"}));
}

void TestAttenuator::unpluggedDeviceClosesThePort()
{
    QVERIFY(att->initialize(device->portName()));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^att port lost: "));
    device->unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!att->isOpen(), 5000);
}

void TestAttenuator::deviceVanishingMidCommandFailsAndClosesThePort()
{
    QVERIFY(att->initialize(device->portName()));
    device->hangUpOnCommand();
    QTest::ignoreMessage(QtDebugMsg, "att set failed!");
    QVERIFY(!att->set_attenuation(3.0));
    QTRY_VERIFY_WITH_TIMEOUT(!att->isOpen(), 5000);
    QCOMPARE(att->attenuation, 0.0);
}

void TestAttenuator::closedPortFailsAtTheWrite()
{
    QTest::ignoreMessage(QtDebugMsg, "att write failed: -1");
    QVERIFY(!att->set_attenuation(3.0));
    QVERIFY(device->commands().isEmpty());
}

QTEST_GUILESS_MAIN(TestAttenuator)
#include "tst_att_dc_6ghz_30db.moc"
