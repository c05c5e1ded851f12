#include "bytes.h"
#include "defaultswindow.h"
#include "messagelog.h"
#include "presets.h"
#include "records.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>

using Frequencies = QList<uint64_t>;

// The settings window's form against the records it shows and builds, and what its buttons emit.
class TestDefaultsWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void reportShownThenReadBackGivesSameRecord_data();
    void reportShownThenReadBackGivesSameRecord();
    void valuesBeyondTheFormReadBackAsTheFormHoldsThem_data();
    void valuesBeyondTheFormReadBackAsTheFormHoldsThem();
    void invalidModeCodeClearsAllFourSelectors();
    void readFieldsWritesFixedFieldsWhateverThePayloadHeld();
    void readFieldsDebugLines_data();
    void readFieldsDebugLines();
    void pipelineTextCutTo512Bytes_data();
    void pipelineTextCutTo512Bytes();
    void reportedPipelineWithoutNulShowsAll512Bytes();

    void frequencyListFillsChannelSelector_data();
    void frequencyListFillsChannelSelector();
    void channelSelectionFollowsReport_data();
    void channelSelectionFollowsReport();
    void unselectedChannelNeverReadsOutsideList_data();
    void unselectedChannelNeverReadsOutsideList();

    void freshWindowHasNoRoleAndPlainLabel();
    void roleSurvivesRelayModesThenBecomesBoard();
    void emptyRoleStaysEmptyOnModeChange();
    void opmodeLabelFollowsSelectors_data();
    void opmodeLabelFollowsSelectors();
    void reportedOpmodeSelectsSelectors_data();
    void reportedOpmodeSelectsSelectors();

    void convertersAtStartValues();
    void converterReport_data();
    void converterReport();

    void secretShownAsBase64WithoutPadding_data();
    void secretShownAsBase64WithoutPadding();
    void secretLengthWordBeyondReportIsCut();
    void secretReadFromForm_data();
    void secretReadFromForm();
    void secretFieldRefusesNonBase64Typing();

    void presetWithoutFrequencyListUsesFirstBuiltInChannel();

    void setButtonEmitsOpenTab_data();
    void setButtonEmitsOpenTab();

private:
    template <class T> T* child(const char* name) const
    {
        T* w = window->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }
    QComboBox* combo(const char* name) const { return child<QComboBox>(name); }
    QByteArray readFields() const;
    void show(const CMD_DEFAULTS_SET_t& record) const { window->update_fields(&record); }

    std::unique_ptr<DefaultsWindow> window;
};

namespace {

constexpr uint64_t kMHz = 1000000;

CMD_DEFAULTS_SET_t relayRecord()
{
    CMD_DEFAULTS_SET_t d;
    d.opmode = 149; // mode 9, role 2, ls 0, hs 1
    d.rx_frequency = d.tx_frequency = 1455 * kMHz;
    d.ip_addr = 0x0A010203;
    d.prefix = 17;
    d.local_status = true;
    d.gateway = 0x0A0102FE;
    for (int i = 0; i < 5; ++i) {
        d.sockets[i] = {uint16_t(i == 0 ? 0 : 5000 + i), uint16_t(i == 4 ? 65535 : 6000 + i), 0xC0A80100u + uint32_t(i)};
        d.remote_sockets[i] = {uint16_t(7000 + i), uint16_t(8000 + i), 0x0A000001u + uint32_t(i)};
    }
    d.tap_mode = 1;
    d.antenna_sel = 1;
    d.tx_mute = true;
    d.tx_power_mode = 55;
    d.gst_string_fm4 = QStringLiteral("поток ! udpsink host=127.0.0.1").toUtf8();
    return d;
}

CMD_DEFAULTS_SET_t withOpmode(CMD_DEFAULTS_SET_t d, uint8_t opmode)
{
    d.opmode = opmode;
    return d;
}

} // namespace

void TestDefaultsWindow::init()
{
    window = std::make_unique<DefaultsWindow>();
}

void TestDefaultsWindow::cleanup()
{
    window.reset();
}

QByteArray TestDefaultsWindow::readFields() const
{
    OP_PAYLOAD_t payload;
    window->read_fields(payload);
    return QByteArray(reinterpret_cast<const char*>(payload.bytes), records::kDefaultsSize);
}

void TestDefaultsWindow::reportShownThenReadBackGivesSameRecord_data()
{
    QTest::addColumn<CMD_DEFAULTS_SET_t>("record");
    const CMD_DEFAULTS_SET_t ground = presets::defaults(presets::Core::MainGround, 4, 1, 0, 1433 * kMHz);
    QTest::newRow("ground preset") << ground;
    QTest::newRow("board preset with pipelines")
        << presets::defaults(presets::Core::MainAbonent, 6, 2, 0, 1400 * kMHz, presets::q55());
    QTest::newRow("relay mode, every field off its start value") << relayRecord();
    QTest::newRow("mode 0 board on a fresh window") << withOpmode(ground, records::encodeOpmode(0, 1, 3, 1));
    QTest::newRow("last relay mode") << withOpmode(ground, records::encodeOpmode(11, 1, 2, 0));
}

void TestDefaultsWindow::reportShownThenReadBackGivesSameRecord()
{
    QFETCH(CMD_DEFAULTS_SET_t, record);
    window->update_frequency_list({});
    show(record);
    QCOMPARE(readFields().toHex(), records::encodeDefaults(record).toHex());
}

void TestDefaultsWindow::valuesBeyondTheFormReadBackAsTheFormHoldsThem_data()
{
    QTest::addColumn<int>("prefix");
    QTest::addColumn<int>("power");
    QTest::addColumn<int>("tap");
    QTest::addColumn<int>("byte21");
    QTest::addColumn<uint>("radioFlags");
    QTest::newRow("prefix 40 held as 32") << 40 << 100 << 0 << 32 << 0x640u;
    QTest::newRow("power 200 held as 100") << 24 << 200 << 0 << 24 << 0x640u;
    QTest::newRow("tap 1 kept") << 24 << 100 << 1 << 24 << 0x641u;
    QTest::newRow("tap 2 read back as 3") << 24 << 100 << 2 << 24 << 0x643u;
    QTest::newRow("tap 3 read back as 3") << 24 << 100 << 3 << 24 << 0x643u;
}

void TestDefaultsWindow::valuesBeyondTheFormReadBackAsTheFormHoldsThem()
{
    QFETCH(int, prefix);
    QFETCH(int, power);
    QFETCH(int, tap);
    QFETCH(int, byte21);
    QFETCH(uint, radioFlags);
    CMD_DEFAULTS_SET_t d = presets::defaults(presets::Core::MainGround, 4, 1, 0, 1400 * kMHz);
    d.prefix = uint8_t(prefix);
    d.tx_power_mode = uint8_t(power);
    d.tap_mode = uint8_t(tap);
    window->update_frequency_list({});
    show(d);
    const QByteArray image = readFields();
    QCOMPARE(int(bytes::u8(image, 21)), byte21);
    QCOMPARE(bytes::u32(image, 128), radioFlags);
}

void TestDefaultsWindow::invalidModeCodeClearsAllFourSelectors()
{
    show(withOpmode(relayRecord(), 0x1C));
    for (const char* name : {"op_defaults_mode_cmb", "op_defaults_unit_cmb", "op_defaults_ls_chan_cmb",
                             "op_defaults_hs_chan_cmb"})
        QCOMPARE(combo(name)->currentIndex(), -1);

    MessageLog log;
    const QByteArray image = readFields();
    QVERIFY((bytes::u8(image, 0) & 0x1F) >= 28);
    QVERIFY(log.lines.value(0).startsWith(QStringLiteral("pre opmode  %1 , valid  false ,").arg(bytes::u8(image, 0))));
}

void TestDefaultsWindow::readFieldsWritesFixedFieldsWhateverThePayloadHeld()
{
    show(relayRecord());
    OP_PAYLOAD_t payload;
    memset(payload.bytes, 0xFF, sizeof payload.bytes);
    window->read_fields(payload);
    const QByteArray image(reinterpret_cast<const char*>(payload.bytes), records::kDefaultsSize);
    QCOMPARE(bytes::u16(image, 26), uint16_t(40005));
    QCOMPARE(image.mid(28, 12), QByteArray(12, '\0'));
    QCOMPARE(image.mid(80, 8), QByteArray(8, '\0'));
    QCOMPARE(bytes::u32(image, 128) >> 12, 0u);
    QCOMPARE(image.mid(132 + 9, 512 - 9), QByteArray(512 - 9, '\0')); // fm2 empty, tail zeroed
}

void TestDefaultsWindow::readFieldsDebugLines_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("ls");
    QTest::addColumn<int>("hs");
    QTest::addColumn<QString>("line1");
    QTest::addColumn<QString>("line2");
    QTest::newRow("point to point, opmode 41")
        << 4 << 1 << 1 << 0 << "pre opmode  41 , valid  true , mode  4 , unit  1 , ls  1 , hs  0 "
        << "opmode  41 , valid  true , mode  4 , unit  1 , abons  2 , new_opmode  41 ";
    QTest::newRow("relay, opmode 149")
        << 9 << 2 << 0 << 1 << "pre opmode  149 , valid  true , mode  9 , unit  2 , ls  0 , hs  1 "
        << "opmode  149 , valid  true , mode  9 , unit  2 , abons  3 , new_opmode  149 ";
}

void TestDefaultsWindow::readFieldsDebugLines()
{
    QFETCH(int, mode);
    QFETCH(int, unit);
    QFETCH(int, ls);
    QFETCH(int, hs);
    QFETCH(QString, line1);
    QFETCH(QString, line2);
    combo("op_defaults_mode_cmb")->setCurrentIndex(mode);
    combo("op_defaults_unit_cmb")->setCurrentIndex(unit);
    combo("op_defaults_ls_chan_cmb")->setCurrentIndex(ls);
    combo("op_defaults_hs_chan_cmb")->setCurrentIndex(hs);
    MessageLog log;
    readFields();
    QCOMPARE(log.lines, QStringList({line1, line2}));
}

void TestDefaultsWindow::pipelineTextCutTo512Bytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("field");
    QTest::newRow("600 ascii bytes") << QString(600, QLatin1Char('a')) << QByteArray(512, 'a');
    QTest::newRow("300 two-byte letters") << QString(300, QChar(0x436)) << QString(300, QChar(0x436)).toUtf8().left(512);
    QTest::newRow("exactly 512 bytes") << QString(512, QLatin1Char('b')) << QByteArray(512, 'b');
    QTest::newRow("short text NUL-padded") << QStringLiteral("gst") << QByteArray("gst");
}

void TestDefaultsWindow::pipelineTextCutTo512Bytes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, field);
    child<QLineEdit>("op_defaults_rtsp_url_fm2_le")->setText(text);
    child<QLineEdit>("op_defaults_rtsp_url_fm4_le")->setText(text);
    const QByteArray padded = field + QByteArray(512 - field.size(), '\0');
    const QByteArray image = readFields();
    QCOMPARE(image.mid(132, 512), padded);
    QCOMPARE(image.mid(644, 512), padded);
}

void TestDefaultsWindow::reportedPipelineWithoutNulShowsAll512Bytes()
{
    QByteArray report = records::encodeDefaults(relayRecord());
    report.replace(132, 512, QByteArray(512, 'x'));
    show(records::decodeDefaults(report));
    QCOMPARE(child<QLineEdit>("op_defaults_rtsp_url_fm2_le")->text(), QString(512, QLatin1Char('x')));
}

void TestDefaultsWindow::frequencyListFillsChannelSelector_data()
{
    QTest::addColumn<Frequencies>("list");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("empty gives built-in channels")
        << Frequencies() << QStringList({"1400", "1411", "1422", "1433", "1444", "1455"});
    QTest::newRow("station's list in its order, whole MHz")
        << Frequencies({2410 * kMHz + 999999, 2400 * kMHz}) << QStringList({"2410", "2400"});
}

void TestDefaultsWindow::frequencyListFillsChannelSelector()
{
    QFETCH(Frequencies, list);
    QFETCH(QStringList, items);
    combo("op_defaults_channel_cmb")->setCurrentIndex(2);
    window->update_frequency_list(list);
    QComboBox* channels = combo("op_defaults_channel_cmb");
    QStringList shown;
    for (int i = 0; i < channels->count(); ++i)
        shown << channels->itemText(i);
    QCOMPARE(shown, items);
    QCOMPARE(channels->currentIndex(), -1);
    QVERIFY(channels->isEnabled());
}

void TestDefaultsWindow::channelSelectionFollowsReport_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<qulonglong>("rx");
    QTest::addColumn<qulonglong>("tx");
    QTest::addColumn<int>("after");
    QTest::addColumn<bool>("warned");
    QTest::newRow("1433 MHz is channel 3") << -1 << qulonglong(1433 * kMHz) << qulonglong(1433 * kMHz) << 3 << false;
    QTest::newRow("last channel") << 0 << qulonglong(1455 * kMHz) << qulonglong(1455 * kMHz) << 5 << false;
    QTest::newRow("not in list selects channel 0")
        << 4 << qulonglong(1500 * kMHz) << qulonglong(1500 * kMHz) << 0 << true;
    QTest::newRow("one hertz off is not in list")
        << 4 << qulonglong(1433 * kMHz + 1) << qulonglong(1433 * kMHz + 1) << 0 << true;
    QTest::newRow("differing frequencies keep selection")
        << 2 << qulonglong(1400 * kMHz) << qulonglong(1411 * kMHz) << 2 << false;
    QTest::newRow("differing frequencies keep no selection")
        << -1 << qulonglong(1500 * kMHz) << qulonglong(1433 * kMHz) << -1 << false;
}

void TestDefaultsWindow::channelSelectionFollowsReport()
{
    QFETCH(int, before);
    QFETCH(qulonglong, rx);
    QFETCH(qulonglong, tx);
    QFETCH(int, after);
    QFETCH(bool, warned);
    window->update_frequency_list({});
    combo("op_defaults_channel_cmb")->setCurrentIndex(before);
    CMD_DEFAULTS_SET_t d = relayRecord();
    d.rx_frequency = rx;
    d.tx_frequency = tx;
    MessageLog log;
    show(d);
    QCOMPARE(combo("op_defaults_channel_cmb")->currentIndex(), after);
    QCOMPARE(log.lines.contains(QStringLiteral("Recv frequency not in channel list")), warned);
}

void TestDefaultsWindow::unselectedChannelNeverReadsOutsideList_data()
{
    QTest::addColumn<Frequencies>("list"); // not given to the window when empty
    QTest::addColumn<qulonglong>("reportRx"); // 0: no report shown
    QTest::addColumn<qulonglong>("reportTx");
    QTest::addColumn<qulonglong>("sentRx");
    QTest::addColumn<qulonglong>("sentTx");
    const Frequencies station({2400 * kMHz, 2410 * kMHz});
    QTest::newRow("nothing known yet: first built-in channel")
        << Frequencies() << qulonglong(0) << qulonglong(0) << qulonglong(1400 * kMHz) << qulonglong(1400 * kMHz);
    QTest::newRow("fresh list, no report: its first channel")
        << station << qulonglong(0) << qulonglong(0) << qulonglong(2400 * kMHz) << qulonglong(2400 * kMHz);
    QTest::newRow("report before any list: reported frequencies")
        << Frequencies() << qulonglong(1433 * kMHz) << qulonglong(1433 * kMHz) << qulonglong(1433 * kMHz)
        << qulonglong(1433 * kMHz);
    QTest::newRow("differing report: reported frequencies kept")
        << station << qulonglong(2405 * kMHz) << qulonglong(2415 * kMHz) << qulonglong(2405 * kMHz)
        << qulonglong(2415 * kMHz);
}

void TestDefaultsWindow::unselectedChannelNeverReadsOutsideList()
{
    QFETCH(Frequencies, list);
    QFETCH(qulonglong, reportRx);
    QFETCH(qulonglong, reportTx);
    QFETCH(qulonglong, sentRx);
    QFETCH(qulonglong, sentTx);
    if (!list.isEmpty())
        window->update_frequency_list(list);
    if (reportRx) {
        CMD_DEFAULTS_SET_t d = relayRecord();
        d.rx_frequency = reportRx;
        d.tx_frequency = reportTx;
        show(d);
    }
    const QByteArray image = readFields();
    QCOMPARE(qulonglong(bytes::u64(image, 1)), sentRx);
    QCOMPARE(qulonglong(bytes::u64(image, 9)), sentTx);
}

void TestDefaultsWindow::freshWindowHasNoRoleAndPlainLabel()
{
    QCOMPARE(combo("op_defaults_unit_cmb")->count(), 0);
    QCOMPARE(child<QLabel>("op_defaults_opmode_lbl")->text(), QStringLiteral("Режим"));
    QCOMPARE(child<QTabWidget>("op_defaults_tab_widget")->currentIndex(), 0);
}

void TestDefaultsWindow::roleSurvivesRelayModesThenBecomesBoard()
{
    QComboBox* mode = combo("op_defaults_mode_cmb");
    QComboBox* role = combo("op_defaults_unit_cmb");
    mode->setCurrentIndex(9);
    role->setCurrentIndex(2);
    mode->setCurrentIndex(10);
    QCOMPARE(role->currentText(), QStringLiteral("Абонент"));
    mode->setCurrentIndex(3);
    QCOMPARE(role->currentIndex(), 1);
    QCOMPARE(role->currentText(), QStringLiteral("Борт"));
    QCOMPARE(role->count(), 2);
    QCOMPARE(child<QLabel>("op_defaults_opmode_lbl")->text(), QStringLiteral("Режим (7)"));
}

void TestDefaultsWindow::emptyRoleStaysEmptyOnModeChange()
{
    QComboBox* role = combo("op_defaults_unit_cmb");
    combo("op_defaults_mode_cmb")->setCurrentIndex(9);
    role->setCurrentIndex(-1);
    combo("op_defaults_mode_cmb")->setCurrentIndex(2);
    QCOMPARE(role->count(), 2);
    QCOMPARE(role->currentIndex(), -1);
}

void TestDefaultsWindow::opmodeLabelFollowsSelectors_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("ls");
    QTest::addColumn<int>("hs");
    QTest::addColumn<QString>("label");
    QTest::newRow("mode 4 board") << 4 << 1 << 1 << 0 << "Режим (41)";
    QTest::newRow("mode 11 subscriber") << 11 << 2 << 3 << 1 << "Режим (251)";
    QTest::newRow("nothing selected") << -1 << -1 << -1 << -1 << "Режим (253)";
}

void TestDefaultsWindow::opmodeLabelFollowsSelectors()
{
    QFETCH(int, mode);
    QFETCH(int, unit);
    QFETCH(int, ls);
    QFETCH(int, hs);
    QFETCH(QString, label);
    combo("op_defaults_mode_cmb")->setCurrentIndex(mode);
    combo("op_defaults_unit_cmb")->setCurrentIndex(unit);
    combo("op_defaults_ls_chan_cmb")->setCurrentIndex(ls);
    combo("op_defaults_hs_chan_cmb")->setCurrentIndex(hs);
    QCOMPARE(child<QLabel>("op_defaults_opmode_lbl")->text(), label);
}

void TestDefaultsWindow::reportedOpmodeSelectsSelectors_data()
{
    QTest::addColumn<int>("opmode");
    QTest::addColumn<QList<int>>("selections"); // mode, role, ls, hs
    QTest::addColumn<QString>("label");
    QTest::newRow("41") << 41 << QList<int>({4, 1, 1, 0}) << "Режим (41)";
    QTest::newRow("149") << 149 << QList<int>({9, 2, 0, 1}) << "Режим (149)";
    QTest::newRow("mode 0 ground as first report") << 0 << QList<int>({0, 0, 0, 0}) << "Режим (0)";
    QTest::newRow("code 28 is invalid") << 0x1C << QList<int>({-1, -1, -1, -1}) << "Режим (253)";
}

void TestDefaultsWindow::reportedOpmodeSelectsSelectors()
{
    QFETCH(int, opmode);
    QFETCH(QList<int>, selections);
    QFETCH(QString, label);
    show(withOpmode(relayRecord(), uint8_t(opmode)));
    const QList<int> shown = {combo("op_defaults_mode_cmb")->currentIndex(),
                              combo("op_defaults_unit_cmb")->currentIndex(),
                              combo("op_defaults_ls_chan_cmb")->currentIndex(),
                              combo("op_defaults_hs_chan_cmb")->currentIndex()};
    QCOMPARE(shown, selections);
    QCOMPARE(child<QLabel>("op_defaults_opmode_lbl")->text(), label);
}

void TestDefaultsWindow::convertersAtStartValues()
{
    OP_PAYLOAD_t payload;
    memset(payload.bytes, 0xFF, sizeof payload.bytes);
    window->read_conv(payload);
    const QByteArray image(reinterpret_cast<const char*>(payload.bytes), records::kConverterConfigSize);
    for (int n = 0; n < 4; ++n) {
        const QString port = QString::number(0x20 + n, 16) + QStringLiteral("4e"); // 20000 + n
        const QString entry = QStringLiteral("60009600") + port + port + QStringLiteral("c0a80bcd");
        QCOMPARE(image.mid(12 * n, 12).toHex(), entry.toLatin1());
    }
    QCOMPARE(image.mid(48), QByteArray(80, '\0'));
}

void TestDefaultsWindow::converterReport_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<uint>("baud");
    QTest::addColumn<QString>("shownBaud");
    QTest::newRow("enabled at 9600") << true << 9600u << "9600";
    QTest::newRow("disabled at 115200") << false << 115200u << "115200";
    QTest::newRow("rate not offered keeps previous") << true << 12345u << "38400";
}

void TestDefaultsWindow::converterReport()
{
    QFETCH(bool, enabled);
    QFETCH(uint, baud);
    QFETCH(QString, shownBaud);
    REP_UART_CONV_CONFIG_t report = presets::converters(presets::Core::KtGround);
    ConverterEntry& entry = report.converters[2];
    entry = {enabled, baud, 4001, 65535, 0x7F000005};
    window->update_conv(report);

    QCOMPARE(child<QGroupBox>("op_conv2_gbx")->isChecked(), enabled);
    QCOMPARE(combo("op_conv2_serial_baudrate_cmb")->currentText(), shownBaud);
    QCOMPARE(child<QLineEdit>("op_conv2_socket_dest_ip_le")->text(), QStringLiteral("127.0.0.5"));

    entry.baudrate = shownBaud.toUInt();
    OP_PAYLOAD_t payload;
    window->read_conv(payload);
    const QByteArray image(reinterpret_cast<const char*>(payload.bytes), records::kConverterConfigSize);
    QCOMPARE(image.toHex(), records::encodeConverters(report).toHex());
}

void TestDefaultsWindow::secretShownAsBase64WithoutPadding_data()
{
    QTest::addColumn<QByteArray>("secret");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << QByteArray() << "";
    QTest::newRow("3 bytes, 4 characters") << QByteArray("abc") << "YWJj";
    QTest::newRow("4 bytes, 6 characters") << QByteArray("abcd") << "YWJjZA";
    QTest::newRow("default secret, 23 characters")
        << presets::defaultSessionSecret().secret
        << QString::fromLatin1(presets::defaultSessionSecret().secret.toBase64()).remove(QLatin1Char('='));
}

void TestDefaultsWindow::secretShownAsBase64WithoutPadding()
{
    QFETCH(QByteArray, secret);
    QFETCH(QString, text);
    REP_SESSION_SECRET_t report;
    report.secret = secret;
    window->update_session_secret(&report);
    QLineEdit* edit = child<QLineEdit>("op_session_secret_le");
    QCOMPARE(edit->text(), text);
    QVERIFY(!text.contains(QLatin1Char('=')));
    if (secret.size() == 17)
        QCOMPARE(text.size(), 23);

    OP_PAYLOAD_t payload;
    window->read_session_secret(payload);
    const QByteArray image(reinterpret_cast<const char*>(payload.bytes), 2 + secret.size());
    QCOMPARE(bytes::u16(image, 0) & 0x0FFF, secret.size());
    QCOMPARE(image.mid(2), secret);
}

void TestDefaultsWindow::secretLengthWordBeyondReportIsCut()
{
    // Length word 0x0FFF with three secret bytes behind it.
    const QByteArray report = QByteArray::fromHex("ff8f") + QByteArray("abc");
    const REP_SESSION_SECRET_t decoded = records::decodeSessionSecret(report);
    window->update_session_secret(&decoded);
    QCOMPARE(child<QLineEdit>("op_session_secret_le")->text(), QStringLiteral("YWJj"));

    const REP_SESSION_SECRET_t wordOnly = records::decodeSessionSecret(QByteArray::fromHex("ff0f"));
    window->update_session_secret(&wordOnly);
    QCOMPARE(child<QLineEdit>("op_session_secret_le")->text(), QString());
}

void TestDefaultsWindow::secretReadFromForm_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("save");
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("empty") << "" << false << QByteArray::fromHex("0000");
    QTest::newRow("empty kept in permanent memory") << "" << true << QByteArray::fromHex("0080");
    QTest::newRow("padded") << "YWJjZA==" << false << QByteArray::fromHex("0400") + "abcd";
    QTest::newRow("padding left out") << "YWJjZA" << true << QByteArray::fromHex("0480") + "abcd";
    QTest::newRow("64 characters, 48 bytes")
        << QString(64, QLatin1Char('A')) << false << QByteArray::fromHex("3000") + QByteArray(48, '\0');
}

void TestDefaultsWindow::secretReadFromForm()
{
    QFETCH(QString, text);
    QFETCH(bool, save);
    QFETCH(QByteArray, payload);
    child<QLineEdit>("op_session_secret_le")->setText(text);
    child<QCheckBox>("op_session_secret_save_chb")->setChecked(save);
    OP_PAYLOAD_t p;
    memset(p.bytes, 0xFF, sizeof p.bytes);
    window->read_session_secret(p);
    const QByteArray frame = protocol::buildFrame(CMD_SESSION_SECRET, p);
    QCOMPARE(frame.mid(protocol::kHeaderSize).toHex(), payload.toHex());
}

void TestDefaultsWindow::secretFieldRefusesNonBase64Typing()
{
    QLineEdit* edit = child<QLineEdit>("op_session_secret_le");
    QTest::keyClicks(edit, QStringLiteral("ab-c+/9 ="));
    QCOMPARE(edit->text(), QStringLiteral("abc+/9="));
    QTest::keyClicks(edit, QStringLiteral("=x="));
    QCOMPARE(edit->text(), QStringLiteral("abc+/9=="));
}

void TestDefaultsWindow::presetWithoutFrequencyListUsesFirstBuiltInChannel()
{
    QSignalSpy sent(window.get(), &DefaultsWindow::signal_CMD_DEFAULTS_SET);
    child<QPushButton>("op_preset_p2p_a_ground_pbt")->click();
    QCOMPARE(sent.count(), 1);
    const auto d = sent.first().first().value<CMD_DEFAULTS_SET_t>();
    QCOMPARE(qulonglong(d.rx_frequency), qulonglong(1400 * kMHz));
    QCOMPARE(qulonglong(d.tx_frequency), qulonglong(1400 * kMHz));
}

void TestDefaultsWindow::setButtonEmitsOpenTab_data()
{
    QTest::addColumn<int>("tab");
    for (int tab = 0; tab < 5; ++tab)
        QTest::addRow("tab %d", tab) << tab;
}

void TestDefaultsWindow::setButtonEmitsOpenTab()
{
    QFETCH(int, tab);
    QSignalSpy selected(window.get(), &DefaultsWindow::signal_selected_settings);
    child<QTabWidget>("op_defaults_tab_widget")->setCurrentIndex(tab);
    child<QPushButton>("op_defaults_set_pb")->click();
    QCOMPARE(selected.count(), 1);
    QCOMPARE(selected.first().first().toInt(), tab);
}

QTEST_MAIN(TestDefaultsWindow)
#include "tst_defaultswindow.moc"
