// The window against a modem played by the test: binding, the ten-report polling, the search,
// the forget and reboot bursts, the service key codes and the proportional mode picture.
#include "stationtest.h"

#include <QApplication>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

using namespace stationtest;

namespace {

// The report each polling stage asks for, and the request opcode a modem may name instead.
const quint16 kStages[][2] = { { 0x8107, 0x8107 }, { 0x8109, 0x8109 }, { 0x8101, 0x0101 },
                               { 0x8102, 0x0102 }, { 0x8103, 0x0103 }, { 0x8104, 0x0104 },
                               { 0x8105, 0x0105 }, { 0x8106, 0x0106 }, { 0x810B, 0x010B },
                               { 0x810D, 0x010D } };

const QByteArray kGetReport = hex("01ff00000000");

QByteArray word(quint16 value)
{
    return QByteArray(1, char(value & 0xFF)) + char(value >> 8);
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        station = std::make_unique<Station>();
        modem = std::make_unique<ScriptedModem>("127.0.0.21");
    }

    void takenPortTurnsRedUntilFreed()
    {
        const quint16 port = freePort();
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress(QHostAddress::AnyIPv4), port, QUdpSocket::DontShareAddress));
        QSpinBox* field = station->spin("pc_port_spb");
        field->setValue(port);
        QCOMPARE(field->styleSheet(), QStringLiteral("background-color: red;"));

        holder.close();
        QTRY_COMPARE(field->styleSheet(), QString());
        modem->report(REP_CONT_STATUS, {}, 1, port);
        QTRY_COMPARE(station->widget<QListWidget>("op_abons_lw")->count(), 1);
    }

    void tenReportsArePolledInOrder_data()
    {
        QTest::addColumn<int>("answer"); // 0: the report, 1: REP_UNSUPPORTED naming it, 2: naming its request
        QTest::newRow("reports") << 0;
        QTest::newRow("unsupported, report opcode") << 1;
        QTest::newRow("unsupported, request opcode") << 2;
    }

    void tenReportsArePolledInOrder()
    {
        QFETCH(int, answer);
        auto* bar = station->widget<QProgressBar>("op_stage_prb");
        station->window->SetCurrentAbonent(modem->line());
        QVERIFY(!bar->isHidden());
        int seen = 0, at = -1;
        quint16 seqnum = 100;
        for (int i = 0; i < 10; ++i) {
            const quint16* stage = kStages[i];
            QTRY_VERIFY((at = modem->frames().indexOf(kGetReport + word(stage[0]), seen)) >= 0);
            seen = at + 1;
            // The next stage's report first: it must not move the polling on.
            modem->report(kStages[(i + 1) % 10][0], {}, ++seqnum, station->port);
            if (answer == 0)
                modem->report(stage[0], {}, ++seqnum, station->port);
            else
                modem->report(REP_UNSUPPORTED, word(stage[answer - 1]), ++seqnum, station->port);
            QTRY_COMPARE(station->spin("op_seqnum_sb")->value(), int(seqnum));
            QCOMPARE(bar->value(), i == 9 ? 0 : i + 2);
        }
        QVERIFY(bar->isHidden());
        // Idle now: a report moves nothing and asks for nothing.
        modem->report(REP_VERSION, {}, ++seqnum, station->port);
        const int done = modem->frames().size();
        QTest::qWait(350);
        for (const QByteArray& frame : modem->frames().mid(done))
            QVERIFY(!frame.startsWith(kGetReport));
        QVERIFY(bar->isHidden());
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
        modem->report(REP_CONT_STATUS, {}, 1, station->port);
        QTRY_COMPARE(list->count(), 1);
        station->choose(*modem);
        reboot ? station->window->reboot_abonent() : station->window->forget_abonent();
        QCOMPARE(list->count(), 1);
        QTRY_COMPARE(list->count(), 0);
        QCOMPARE(modem->frames(), QVector<QByteArray>(5, frame).toList());
    }

    void searchStopsAfterLimit()
    {
        station->choose(*modem);
        auto* find = station->widget<QPushButton>("op_control_find_pb");
        find->setChecked(true);
        for (int i = 0; i < 121; ++i)
            station->window->find_abonent();
        QVERIFY(!find->isChecked());
        QTRY_COMPARE(modem->frames().count(kGetReport + word(REP_CONT_STATUS)), 120);
        QTest::qWait(700);
        QCOMPARE(modem->frames().size(), 120);
    }

    void serviceCodeTogglesSettingsButton_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("watched"); // the sequence field still has the focus
        QTest::addColumn<bool>("hidden");
        QTest::newRow("code B hides") << "6084" << true << true;
        QTest::newRow("code B twice restores") << "60846084" << true << false;
        QTest::newRow("wrong digit is no first digit") << "606084" << true << false;
        QTest::newRow("restart after wrong digit") << "6060846084" << true << true;
        QTest::newRow("field without focus") << "6084" << false << false;
    }

    void serviceCodeTogglesSettingsButton()
    {
        QFETCH(QString, keys);
        QFETCH(bool, watched);
        QFETCH(bool, hidden);
        QSpinBox* field = station->spin("op_seqnum_sb");
        station->window->show();
        QApplication::setActiveWindow(station->window.get());
        field->setFocus();
        QTRY_VERIFY(field->hasFocus());
        if (!watched)
            station->window->focusChangedProcess(field, station->spin("pc_port_spb"));
        QTest::keyClicks(field, keys);
        QCOMPARE(station->widget("op_control_settings_pb")->isHidden(), hidden);
        QCOMPARE(station->widget("op_control_settings_pb")->isEnabled(), !hidden);
    }

    void pictureKeepsProportions_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("cell");
        QTest::addColumn<QSize>("shown");
        QTest::newRow("wide picture") << QSize(200, 100) << QSize(400, 300) << QSize(400, 200);
        QTest::newRow("tall picture") << QSize(100, 300) << QSize(300, 300) << QSize(100, 300);
    }

    void pictureKeepsProportions()
    {
        QFETCH(QSize, picture);
        QFETCH(QSize, cell);
        QFETCH(QSize, shown);
        MainWindow::ProportionalSvgWidget widget;
        widget.load(QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' width='%1' height='%2'/>")
                        .arg(picture.width()).arg(picture.height()).toUtf8());
        widget.show();
        widget.resize(cell);
        QCOMPARE(widget.size(), shown);
    }

private:
    std::unique_ptr<Station> station;
    std::unique_ptr<ScriptedModem> modem;
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
