// What the operator sees when something goes wrong: health of the abonent lines, the current
// abonent marked apart from the selection, Enter to choose, the journal of events and requests,
// the returning current modem, a shared port, the wheel guard and the rotator's state.
#include "stationtest.h"

#include "operator_awareness.h"

#include <QtWidgets>

using namespace stationtest;
using namespace records;

namespace {

// The reports of the ten polling stages.
const quint16 kStages[] = { 0x8107, 0x8109, 0x8101, 0x8102, 0x8103, 0x8104, 0x8105, 0x8106, 0x810B, 0x810D };

QByteArray word(quint16 value)
{
    return QByteArray(1, char(value & 0xFF)) + char(value >> 8);
}

QByteArray status(bool sync)
{
    ContStatus record;
    record.opmode = 0x43;
    record.sync = sync ? 1 : 0;
    record.rssi = 70;
    return encodeContStatus(record);
}

QImage iconOf(const QListWidgetItem* item)
{
    return item->icon().pixmap(16, 16).toImage();
}

QString keyOf(const ScriptedModem& modem)
{
    return QStringLiteral("%1:%2").arg(modem.address()).arg(modem.localPort());
}

} // namespace

class TestAwareness : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        station = std::make_unique<Station>();
        modem = std::make_unique<ScriptedModem>("127.0.0.21");
        awareness = station->window->findChild<OperatorAwareness*>();
        QVERIFY(awareness);
        now = QDateTime::currentMSecsSinceEpoch();
        awareness->client().setClock([this] { return now; });
        list = station->widget<QListWidget>("op_abons_lw");
    }

    void healthFollowsReportsAndSilence_data()
    {
        QTest::addColumn<bool>("sync");
        QTest::addColumn<int>("quietMs");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("tip");
        QTest::newRow("in sync, just heard") << true << 0 << int(AbonentHealth::Good) << "Синхронизация: есть";
        QTest::newRow("out of sync") << false << 0 << int(AbonentHealth::Degraded) << "Синхронизация: нет";
        QTest::newRow("quiet 1.4 s") << true << 1400 << int(AbonentHealth::Good) << "1.4 с назад";
        QTest::newRow("quiet 2 s") << true << 2000 << int(AbonentHealth::Degraded) << "2.0 с назад";
        QTest::newRow("quiet 5 s") << true << 5000 << int(AbonentHealth::Lost) << "Состояние: потерян";
    }

    void healthFollowsReportsAndSilence()
    {
        QFETCH(bool, sync);
        QFETCH(int, quietMs);
        QFETCH(int, state);
        QFETCH(QString, tip);
        QVERIFY(hear(*modem, 1, sync));
        const QString key = keyOf(*modem);
        const QImage heard = iconOf(list->item(0));
        QVERIFY(!heard.isNull());
        AbonentHealth& health = awareness->health();
        now += quietMs;
        if (state != AbonentHealth::Good && sync)
            QTRY_VERIFY(iconOf(list->item(0)) != heard); // the periodic check alone, no report
        health.recheck();
        QCOMPARE(int(health.state(key)), state);
        const QString shown = health.toolTip(key);
        for (const QString& part : { tip, QStringLiteral("RSSI: -70 дБм"), QStringLiteral("Режим: ") })
            QVERIFY2(shown.contains(part), qPrintable(shown));
        QCOMPARE(list->item(0)->text().left(key.size()), key); // the line's text stays as it was
    }

    void lostModemLeavesListAndJournal()
    {
        ScriptedModem other("127.0.0.22");
        QVERIFY(hear(*modem, 1));
        list->setCurrentRow(0);
        now += 5000;
        QVERIFY(hear(other, 1));
        QTRY_VERIFY(list->item(0)->text().startsWith(other.address()));
        // The highlight went with the lost line instead of landing on the one left.
        QVERIFY(!list->item(0)->isSelected() && !list->currentItem());
        QCOMPARE(texts(JournalEntry::Modem, keyOf(*modem)), QStringList({ "Модем появился", "Модем потерян" }));
    }

    void enterChoosesAndMarksTheCurrentApartFromTheSelection()
    {
        ScriptedModem other("127.0.0.22");
        QVERIFY(hear(*modem, 1));
        QVERIFY(hear(other, 2));

        list->setCurrentRow(1);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(station->widget<QLineEdit>("op_current_abon_ip_le")->text(), other.address());
        QCOMPARE(station->spin("op_current_abon_port_spb")->value(), int(other.localPort()));
        QTRY_VERIFY(other.frames().contains(hex("01ff00000000") + word(REP_VERSION)));

        list->setCurrentRow(0); // the highlight moves, the mark does not
        QVERIFY(awareness->health().isCurrentMarked(list->item(1)) && list->item(1)->font().bold());
        QVERIFY(!awareness->health().isCurrentMarked(list->item(0)) && !list->item(0)->font().bold());
        QCOMPARE(texts(JournalEntry::Current, keyOf(other)).size(), 1);
        QVERIFY(texts(JournalEntry::Request, keyOf(other)).contains(QStringLiteral("CMD_GET_REPORT → REP_VERSION")));
    }

    void returningCurrentModemIsOfferedButNotChosen()
    {
        QVERIFY(hear(*modem, 1));
        station->window->SetCurrentAbonent(list->item(0)->text());
        for (quint16 stage : kStages)
            modem->report(REP_UNSUPPORTED, word(stage), 2, station->port);
        QTRY_VERIFY(station->widget("op_stage_prb")->isHidden());
        now += 5000;
        QTRY_COMPARE(list->count(), 0);
        auto* offer = station->widget<QPushButton>("op_return_offer_pb");
        QVERIFY(offer->isHidden());
        const int sent = modem->frames().size();

        QVERIFY(hear(*modem, 1, true, 2));
        QVERIFY(!offer->isHidden() && offer->text().contains(modem->address()));
        QTest::qWait(300);
        QCOMPARE(modem->frames().size(), sent);
        QCOMPARE(texts(JournalEntry::Current, keyOf(*modem)),
                 QStringList({ "Выбран текущий абонент", "Текущий абонент потерян", "Бывший текущий абонент снова на связи" }));

        offer->click();
        QVERIFY(offer->isHidden());
        QTRY_VERIFY(modem->frames().size() > sent);
        QVERIFY(awareness->health().isCurrentMarked(list->item(0)));
    }

    void unsupportedReportIsJournaledWithItsOpcode()
    {
        QVERIFY(hear(*modem, 1));
        station->window->SetCurrentAbonent(list->item(0)->text());
        modem->report(REP_UNSUPPORTED, word(CMD_SET_TX_MODE), 2, station->port);
        QTRY_COMPARE(texts(JournalEntry::Unsupported, {}), QStringList{ "REP_UNSUPPORTED: CMD_SET_TX_MODE" });
    }

    void portSharedWithAnotherProgramTurnsYellow_data()
    {
        QTest::addColumn<bool>("shared");
        QTest::newRow("another socket receives there") << true;
        QTest::newRow("alone on the port") << false;
    }

    void portSharedWithAnotherProgramTurnsYellow()
    {
        QFETCH(bool, shared);
        const quint16 port = freePort();
        QUdpSocket other;
        if (shared)
            QVERIFY(other.bind(QHostAddress(QHostAddress::AnyIPv4), port,
                               QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
        QSpinBox* field = station->spin("pc_port_spb");
        field->setValue(port);
        QCOMPARE(field->styleSheet(), shared ? QStringLiteral("background-color: yellow;") : QString());
        QCOMPARE(field->toolTip().contains(QStringLiteral("ещё одна программа")), shared);
        QCOMPARE(awareness->journal().matching({ { JournalEntry::Port }, {}, QString::number(port) }).size(),
                 shared ? 1 : 0);
    }

    void wheelTurnsSendingControlsOnlyWithFocus_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("focused");
        for (const char* name : { "op_control_tx_power_mode_spb", "op_control_channel_cmb" }) {
            QTest::addRow("%s without focus", name) << name << false;
            QTest::addRow("%s with focus", name) << name << true;
        }
    }

    void wheelTurnsSendingControlsOnlyWithFocus()
    {
        QFETCH(QString, control);
        QFETCH(bool, focused);
        station->window->initFrequencyList({ 5000000, 5100000, 5200000 });
        station->window->show();
        QVERIFY(QTest::qWaitForWindowActive(station->window.get()));
        auto* widget = station->widget(control.toLatin1().constData());
        widget->setEnabled(true);
        auto* box = qobject_cast<QSpinBox*>(widget);
        const char* property = box ? "value" : "currentIndex";
        // From the middle, so that a notch either way moves it.
        widget->setProperty(property, box ? (box->minimum() + box->maximum()) / 2 : 1);
        (focused ? widget : list)->setFocus();
        QTRY_VERIFY(widget->hasFocus() == focused);
        const QVariant before = widget->property(property);
        const QPoint middle = widget->rect().center();
        QWheelEvent notch(middle, widget->mapToGlobal(middle), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(widget, &notch);
        QCOMPARE(widget->property(property) != before, focused);
    }

    void rotatorTroubleIsShownOnTheControlsAndJournaled_data()
    {
        QTest::addColumn<QString>("steps"); // s stall, m moving, q silent, a answering
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<int>("entries");
        QTest::newRow("stall") << "s" << int(RotatorState::Stalled) << "Мотор не движется" << 1;
        QTest::newRow("moving again") << "sm" << int(RotatorState::Following) << "Измеренное положение" << 2;
        QTest::newRow("silent controller") << "q" << int(RotatorState::Silent) << "не отвечает" << 1;
        QTest::newRow("stall while silent") << "qs" << int(RotatorState::Silent) << "не отвечает" << 1;
        QTest::newRow("answering again") << "qa" << int(RotatorState::Following) << "Измеренное положение" << 2;
    }

    void rotatorTroubleIsShownOnTheControlsAndJournaled()
    {
        QFETCH(QString, steps);
        QFETCH(int, state);
        QFETCH(QString, tip);
        QFETCH(int, entries);
        RotatorState& rotator = awareness->rotator();
        const int before = texts(JournalEntry::Rotator, {}).size();
        for (const QChar step : steps) {
            if (step == 's' || step == 'm')
                rotator.stalled(step == 's');
            else
                step == 'q' ? rotator.silent() : rotator.answering();
        }
        QCOMPARE(int(rotator.state()), state);
        QVERIFY(rotator.label()->toolTip().contains(tip));
        QVERIFY(station->spin("sm_angle_spb")->toolTip().contains(tip));
        QCOMPARE(texts(JournalEntry::Rotator, {}).size() - before, entries);
    }

private:
    // The modem reports once; the list then holds `lines` abonents.
    bool hear(ScriptedModem& from, int lines, bool sync = true, quint16 seqnum = 1)
    {
        from.report(REP_CONT_STATUS, status(sync), seqnum, station->port);
        return QTest::qWaitFor([&] { return list->count() == lines; });
    }

    QStringList texts(JournalEntry::Kind kind, const QString& key)
    {
        QStringList found;
        for (const JournalEntry& entry : awareness->journal().matching({ { kind }, key, {} }))
            found << entry.text;
        return found;
    }

    std::unique_ptr<Station> station;
    std::unique_ptr<ScriptedModem> modem;
    OperatorAwareness* awareness = nullptr;
    QListWidget* list = nullptr;
    qint64 now = 0;
};

QTEST_MAIN(TestAwareness)
#include "tst_awareness.moc"
