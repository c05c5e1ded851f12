// The station against a scripted modem on loopback: binding, the ten-report polling, the
// abonent search, and the forget and reboot bursts.
#include "stationtest.h"

#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

using namespace stationtest;

namespace {

struct PollingStep {
    quint16 report;
    quint16 requestAlias; // opcode a modem may name in REP_UNSUPPORTED instead
};

const PollingStep kSteps[] = {
    { 0x8107, 0x8107 }, { 0x8109, 0x8109 }, { 0x8101, 0x0101 }, { 0x8102, 0x0102 },
    { 0x8103, 0x0103 }, { 0x8104, 0x0104 }, { 0x8105, 0x0105 }, { 0x8106, 0x0106 },
    { 0x810B, 0x010B }, { 0x810D, 0x010D },
};

enum class Answer { Report, UnsupportedReport, UnsupportedRequest };

QByteArray opcodeWord(quint16 opcode)
{
    return QByteArray(1, char(opcode & 0xFF)) + char(opcode >> 8);
}

// A minimal record for each report that the handlers accept.
QByteArray recordFor(quint16 report)
{
    switch (report) {
    case 0x810D:
        return hex("0000");
    case 0x8109: {
        REP_PARAMETERS_t parameters;
        parameters.lowest = 1400000000;
        parameters.highest = 1420000000;
        parameters.step = 10000000;
        return records::encodeParameters(parameters);
    }
    case 0x8101:
    case 0x8102:
        return records::encodeFrequency(1410000000);
    default:
        return QByteArray(4, '\0');
    }
}

} // namespace

Q_DECLARE_METATYPE(Answer)

class TestPolling : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { runInTemporaryFolder(); }

    void init()
    {
        station = std::make_unique<Station>();
        modem = std::make_unique<ScriptedModem>(QStringLiteral("127.0.0.21"));
    }

    void cleanup()
    {
        station.reset();
        modem.reset();
    }

    void freePortBindsWithoutRedField()
    {
        QCOMPARE(station->spin("pc_port_spb")->styleSheet(), QString());
        QVERIFY(station->widget<QProgressBar>("op_stage_prb")->isHidden());
        QTest::qWait(300);
        QVERIFY(modem->frames().isEmpty());
    }

    void takenPortTurnsRedUntilFreed()
    {
        const quint16 port = freePort();
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress(QHostAddress::AnyIPv4), port, QUdpSocket::DontShareAddress));

        QSpinBox* field = station->spin("pc_port_spb");
        field->setValue(port);
        QCOMPARE(field->styleSheet(), QStringLiteral("background-color: red;"));
        QTest::qWait(350);
        QCOMPARE(field->styleSheet(), QStringLiteral("background-color: red;"));

        holder.close();
        QTRY_COMPARE_WITH_TIMEOUT(field->styleSheet(), QString(), 5000);
        modem->report(REP_CONT_STATUS, contStatus(0, 1, 50), 1, port);
        QTRY_COMPARE_WITH_TIMEOUT(station->widget<QListWidget>("op_abons_lw")->count(), 1, 5000);
    }

    void changingToFreePortBindsAtOnce()
    {
        const quint16 port = freePort();
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress(QHostAddress::AnyIPv4), port, QUdpSocket::DontShareAddress));
        QSpinBox* field = station->spin("pc_port_spb");
        field->setValue(port);
        QCOMPARE(field->styleSheet(), QStringLiteral("background-color: red;"));
        field->setValue(freePort());
        QCOMPARE(field->styleSheet(), QString());
    }

    void tenReportsArePolledInOrder_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::newRow("reports") << Answer::Report;
        QTest::newRow("unsupported, report opcode") << Answer::UnsupportedReport;
        QTest::newRow("unsupported, request opcode") << Answer::UnsupportedRequest;
    }

    void tenReportsArePolledInOrder()
    {
        QFETCH(Answer, answer);
        auto* bar = station->widget<QProgressBar>("op_stage_prb");
        station->window->SetCurrentAbonent(modem->abonentLine());
        QVERIFY(!bar->isHidden());

        int seen = 0;
        quint16 seqnum = 100;
        for (const PollingStep& step : kSteps) {
            const int index = modem->waitFor(CMD_GET_REPORT, step.report, seen);
            QVERIFY2(index >= 0, qPrintable(QString::number(step.report, 16)));
            QCOMPARE(modem->frames().at(index), hex("01ff00000000") + opcodeWord(step.report));

            switch (answer) {
            case Answer::Report:
                modem->report(step.report, recordFor(step.report), ++seqnum, station->port);
                break;
            case Answer::UnsupportedReport:
                modem->report(REP_UNSUPPORTED, opcodeWord(step.report), ++seqnum, station->port);
                break;
            case Answer::UnsupportedRequest:
                modem->report(REP_UNSUPPORTED, opcodeWord(step.requestAlias), ++seqnum,
                              station->port);
                break;
            }
            QTRY_COMPARE(station->spin("op_seqnum_sb")->value(), int(seqnum));
            seen = index + 1;
        }
        QTRY_VERIFY(bar->isHidden());
        QCOMPARE(bar->value(), 0);

        // Done: no further report requests.
        modem->clear();
        QTest::qWait(350);
        for (const QByteArray& frame : modem->frames())
            QVERIFY(protocol::parseHeader(frame).opcode != CMD_GET_REPORT);
    }

    void reportOfAnotherStageDoesNotAdvance_data()
    {
        QTest::addColumn<quint16>("opcode");
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("parameters") << quint16(REP_PARAMETERS) << recordFor(0x8109);
        QTest::newRow("unsupported parameters") << quint16(REP_UNSUPPORTED) << opcodeWord(0x8109);
        QTest::newRow("unsupported status") << quint16(REP_UNSUPPORTED) << opcodeWord(0x8108);
        QTest::newRow("unsupported version request alias")
            << quint16(REP_UNSUPPORTED) << opcodeWord(0x0107);
    }

    void reportOfAnotherStageDoesNotAdvance()
    {
        QFETCH(quint16, opcode);
        QFETCH(QByteArray, payload);
        station->window->SetCurrentAbonent(modem->abonentLine());
        QVERIFY(modem->waitFor(CMD_GET_REPORT, REP_VERSION) >= 0);
        modem->report(opcode, payload, 7, station->port);
        QTRY_COMPARE(station->spin("op_seqnum_sb")->value(), 7);

        modem->clear();
        QVERIFY(modem->waitFor(CMD_GET_REPORT, REP_VERSION) >= 0);
        QVERIFY(!station->widget<QProgressBar>("op_stage_prb")->isHidden());
    }

    void reportWhileIdleMovesNothing()
    {
        // The filter points at the modem, but polling is over (forget) before the report.
        station->window->SetCurrentAbonent(modem->abonentLine());
        QVERIFY(modem->waitFor(CMD_GET_REPORT, REP_VERSION) >= 0);
        station->window->forget_abonent();
        modem->report(REP_VERSION, QByteArray(12, '\0'), 9, station->port);
        QTRY_COMPARE(station->spin("op_seqnum_sb")->value(), 9);

        modem->clear();
        QTest::qWait(350);
        for (const QByteArray& frame : modem->frames())
            QVERIFY(protocol::parseHeader(frame).opcode != CMD_GET_REPORT);
        QVERIFY(station->widget<QProgressBar>("op_stage_prb")->isHidden());
    }

    void newChoiceContinuesRunningPolling()
    {
        ScriptedModem other(QStringLiteral("127.0.0.22"));
        station->window->SetCurrentAbonent(modem->abonentLine());
        QVERIFY(modem->waitFor(CMD_GET_REPORT, REP_VERSION) >= 0);
        modem->report(REP_VERSION, QByteArray(12, '\0'), 1, station->port);
        QVERIFY(modem->waitFor(CMD_GET_REPORT, REP_PARAMETERS) >= 0);

        station->window->SetCurrentAbonent(other.abonentLine());
        QVERIFY(other.waitFor(CMD_GET_REPORT, REP_PARAMETERS) >= 0);
    }

    void burstSendsFiveFramesThenRemovesAbonent_data()
    {
        QTest::addColumn<bool>("reboot");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("forget") << false << hex("01ff00000501cccccccc");
        QTest::newRow("reboot") << true << hex("01ff00000501dddddddd");
    }

    void burstSendsFiveFramesThenRemovesAbonent()
    {
        QFETCH(bool, reboot);
        QFETCH(QByteArray, frame);
        auto* list = station->widget<QListWidget>("op_abons_lw");
        modem->report(REP_CONT_STATUS, contStatus(0, 1, 60), 1, station->port);
        QTRY_COMPARE(list->count(), 1);
        station->window->SetCurrentAbonent(list->item(0)->text());
        QVERIFY(modem->waitFor(CMD_GET_REPORT, REP_VERSION) >= 0);
        modem->report(REP_CONT_STATUS, contStatus(0, 1, 60), 2, station->port);
        QTRY_VERIFY(station->widget("op_version_gbx")->isEnabled());

        modem->clear();
        if (reboot)
            station->window->reboot_abonent();
        else
            station->window->forget_abonent();
        QCOMPARE(list->count(), 1);

        QTRY_COMPARE_WITH_TIMEOUT(list->count(), 0, 5000);
        QList<QByteArray> frames = modem->frames();
        QCOMPARE(frames.size(), 5);
        for (const QByteArray& sent : frames)
            QCOMPARE(sent, frame);
        QVERIFY(station->widget<QProgressBar>("op_stage_prb")->isHidden());
        QVERIFY(!station->widget("op_version_gbx")->isEnabled());
        QCOMPARE(station->widget<QLineEdit>("op_current_abon_ip_le")->text(), modem->address);
        QCOMPARE(station->spin("op_current_abon_port_spb")->value(), int(modem->port()));
    }

    void searchStopsAfterLimit()
    {
        station->widget<QLineEdit>("op_current_abon_ip_le")->setText(modem->address);
        station->spin("op_current_abon_port_spb")->setValue(modem->port());
        auto* find = station->widget<QPushButton>("op_control_find_pb");
        find->setChecked(true);

        for (int i = 0; i < 121; ++i)
            station->window->find_abonent();
        QVERIFY(!find->isChecked());
        QTRY_COMPARE(modem->frames().size(), 120);
        for (const QByteArray& frame : modem->frames())
            QCOMPARE(frame, hex("01ff000000000881"));
        QTest::qWait(700);
        QCOMPARE(modem->frames().size(), 120);
    }

    void searchEndsWhenAbonentReports()
    {
        station->widget<QLineEdit>("op_current_abon_ip_le")->setText(modem->address);
        station->spin("op_current_abon_port_spb")->setValue(modem->port());
        auto* find = station->widget<QPushButton>("op_control_find_pb");
        find->click();
        QVERIFY(find->isChecked());
        QVERIFY(modem->waitFor(CMD_GET_REPORT, REP_CONT_STATUS) >= 0);

        modem->report(REP_CONT_STATUS, contStatus(0, 1, 60), 1, station->port);
        QTRY_VERIFY(!find->isChecked());
        modem->clear();
        QTest::qWait(700);
        QVERIFY(modem->frames().isEmpty());
    }

private:
    std::unique_ptr<Station> station;
    std::unique_ptr<ScriptedModem> modem;
};

QTEST_MAIN(TestPolling)
#include "tst_polling.moc"
