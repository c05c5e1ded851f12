#include "status_records.h"

#include <QtTest>

#include <functional>
#include <utility>

namespace {

// A zero record of `size` bytes with hex byte strings placed at their offsets.
QByteArray image(int size, std::initializer_list<std::pair<int, const char*>> parts)
{
    QByteArray out(size, '\0');
    for (const auto& part : parts) {
        const QByteArray b = QByteArray::fromHex(part.second);
        out.replace(part.first, b.size(), b);
    }
    return out;
}

const QByteArray kIdStatisticImage = image(records::kIdStatisticHeadSize + 3 * records::kIdStatisticEntrySize, {
    {0, "0302"},
    {16, "11000000" "3412" "0000" "dc050000" "0a00" "1400" "04030201"},
    {36, "02000000" "e803" "0000" "a0860100" "0100" "0200" "ffffffff"},
    {56, "0f000000" "0100" "0000" "00000000" "0000" "0000" "00000000"},
});

const QByteArray kExtendedStatusImage = image(records::kExtendedStatusSize, {
    {0, "09020301" "0b"}, {8, "01" "46"}, {16, "3421"}, {24, "1efb" "670c"},
    {48, "e803" "0200" "0300" "e703"}, {56, "00401f00"}, {64, "fbffffff"}, {72, "40e20100"},
});

const QByteArray kContStatusImage = image(records::kContStatusSize, {
    {0, "43" "01" "55" "f4" "28"}, {5, "0201" "0403" "0605" "0807"}, {13, "00fa0000"}, {21, "ffffffff"},
});

const QByteArray kParametersImage = image(records::kParametersSize, {
    {0, "004e725300000000"}, {8, "803e6d5600000000"}, {16, "80969800"},
});

using Reencode = std::function<QByteArray(const QByteArray&)>;

// Each record decoded and encoded again: equal to the input exactly when the decoder kept every field.
const QMap<QString, Reencode> kReencoders = {
    {"version", [](const QByteArray& b) { return records::encodeVersion(records::decodeVersion(b)); }},
    {"cont status", [](const QByteArray& b) { return records::encodeContStatus(records::decodeContStatus(b)); }},
    {"extended status",
        [](const QByteArray& b) { return records::encodeExtendedStatus(records::decodeExtendedStatus(b)); }},
    {"id statistic", [](const QByteArray& b) { return records::encodeIdStatistic(records::decodeIdStatistic(b)); }},
    {"parameters", [](const QByteArray& b) { return records::encodeParameters(records::decodeParameters(b)); }},
    {"frequency", [](const QByteArray& b) { return records::encodeFrequency(records::decodeFrequency(b).frequency); }},
};

} // namespace

// Byte layouts of the status, parameter and frequency reports.
class TestStatusRecords : public QObject {
    Q_OBJECT

private slots:
    void versionExampleRoundTrips();
    void contStatusFieldsAtTheirOffsets();
    void extendedStatusFieldsAtTheirOffsets();
    void idStatisticReadsEveryEntry();
    void idStatisticEntriesBeyondTheReportReadAsZero();
    void parametersAndFrequency();
    void recordsSurviveDecodeAndEncode_data();
    void recordsSurviveDecodeAndEncode();
    void shortReportReadsAsZeroPadded_data();
    void shortReportReadsAsZeroPadded();
};

void TestStatusRecords::versionExampleRoundTrips()
{
    REP_VERSION_t v;
    v.major = 1;
    v.minor = 2;
    v.revision = 3;
    v.build = 0x1A2B;
    v.hardware = 1;
    v.function = 0x0C;
    const QByteArray wire = records::encodeVersion(v);
    QCOMPARE(wire, QByteArray::fromHex("0100" "02" "03" "2b1a0000" "01" "0c" "0000"));
    const REP_VERSION_t back = records::decodeVersion(wire);
    QCOMPARE(back.major, v.major);
    QCOMPARE(back.minor, v.minor);
    QCOMPARE(back.revision, v.revision);
    QCOMPARE(back.build, v.build);
    QCOMPARE(back.hardware, v.hardware);
    QCOMPARE(back.function, v.function);
}

void TestStatusRecords::contStatusFieldsAtTheirOffsets()
{
    const REP_CONT_STATUS_t s = records::decodeContStatus(kContStatusImage);
    QCOMPARE(s.opmode, uint8_t(0x43));
    QCOMPARE(s.sync, uint8_t(1));
    QCOMPARE(s.rssi, uint8_t(85));
    QCOMPARE(s.temp1, int8_t(-12));
    QCOMPARE(s.temp2, int8_t(40));
    QCOMPARE(s.received, uint16_t(0x0102));
    QCOMPARE(s.errors, uint16_t(0x0304));
    QCOMPARE(s.lost, uint16_t(0x0506));
    QCOMPARE(s.sent, uint16_t(0x0708));
    QCOMPARE(s.rx_bits, 64000);
    QCOMPARE(s.tx_bits, -1);
}

void TestStatusRecords::extendedStatusFieldsAtTheirOffsets()
{
    const REP_EXTENDED_STATUS_t s = records::decodeExtendedStatus(kExtendedStatusImage);
    QCOMPARE(s.mode, uint8_t(9));
    QCOMPARE(s.role, uint8_t(2));
    QCOMPARE(s.spreading, uint8_t(3));
    QCOMPARE(s.modulation, uint8_t(1));
    QCOMPARE(s.flags, uint8_t(REP_EXTENDED_STATUS_t::Synchronised | REP_EXTENDED_STATUS_t::AntennaFault
        | REP_EXTENDED_STATUS_t::ModeWhite));
    QCOMPARE(s.antenna, uint8_t(1));
    QCOMPARE(s.tx_power, uint8_t(70));
    QCOMPARE(s.rssi, uint16_t(8500));
    QCOMPARE(s.temp1, int16_t(-1250));
    QCOMPARE(s.temp2, int16_t(3175));
    QCOMPARE(s.received, uint16_t(1000));
    QCOMPARE(s.errors, uint16_t(2));
    QCOMPARE(s.lost, uint16_t(3));
    QCOMPARE(s.sent, uint16_t(999));
    QCOMPARE(s.rx_bits, 2048000);
    QCOMPARE(s.tx_bits, -5);
    QCOMPARE(s.tx_dropped_bits, 123456);
}

void TestStatusRecords::idStatisticReadsEveryEntry()
{
    const REP_ID_STATISTIC_t s = records::decodeIdStatistic(kIdStatisticImage);
    QCOMPARE(s.own_index, uint8_t(2));
    QCOMPARE(s.entries.size(), 3);
    const ID_STATISTIC_entry_t& first = s.entries.at(0);
    QCOMPARE(first.identifier, uint8_t(0x11));
    QCOMPARE(first.rssi, uint16_t(0x1234));
    QCOMPARE(first.range, 1500u);
    QCOMPARE(first.rx_first, uint16_t(10));
    QCOMPARE(first.rx_second, uint16_t(20));
    QCOMPARE(first.further, 0x01020304u);
    QCOMPARE(s.entries.at(1).range, 100000u);
    QCOMPARE(s.entries.at(1).further, 0xFFFFFFFFu);
    QCOMPARE(s.entries.at(2).identifier, uint8_t(0x0F));
}

void TestStatusRecords::idStatisticEntriesBeyondTheReportReadAsZero()
{
    // Cut in the middle of the second entry's range.
    const REP_ID_STATISTIC_t cut = records::decodeIdStatistic(kIdStatisticImage.left(16 + 20 + 10));
    QCOMPARE(cut.entries.size(), 3);
    QCOMPARE(cut.entries.at(1).rssi, uint16_t(1000));
    QCOMPARE(cut.entries.at(1).range, 0x86A0u);
    QCOMPARE(cut.entries.at(1).further, 0u);
    QCOMPARE(records::encodeIdStatistic(cut).mid(56), QByteArray(20, '\0'));

    const REP_ID_STATISTIC_t headOnly = records::decodeIdStatistic(QByteArray::fromHex("ff"));
    QCOMPARE(headOnly.entries.size(), 255);
    QCOMPARE(records::encodeIdStatistic(headOnly), image(16 + 255 * 20, {{0, "ff"}}));
}

void TestStatusRecords::parametersAndFrequency()
{
    const REP_PARAMETERS_t p = records::decodeParameters(kParametersImage);
    QCOMPARE(p.lowest, 1400000000ull);
    QCOMPARE(p.highest, 1450000000ull);
    QCOMPARE(p.step, 10000000u);
    QCOMPARE(records::encodeFrequency(1411000000), QByteArray::fromHex("c0261a5400000000"));
    QCOMPARE(records::decodeFrequency(QByteArray::fromHex("c0261a5400000000")).frequency, 1411000000ull);
}

void TestStatusRecords::recordsSurviveDecodeAndEncode_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("record");
    QTest::newRow("version") << "version" << QByteArray::fromHex("ffff" "fe" "fd" "fcfbfaf9" "f8" "f7" "0000");
    QTest::newRow("cont status") << "cont status" << kContStatusImage;
    QTest::newRow("extended status") << "extended status" << kExtendedStatusImage;
    QTest::newRow("id statistic") << "id statistic" << kIdStatisticImage;
    QTest::newRow("parameters") << "parameters" << kParametersImage;
    QTest::newRow("frequency") << "frequency" << QByteArray::fromHex("0102030405060708");
}

void TestStatusRecords::recordsSurviveDecodeAndEncode()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, record);
    QCOMPARE(kReencoders.value(kind)(record), record);
}

void TestStatusRecords::shortReportReadsAsZeroPadded_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<int>("cut");
    const QList<std::pair<QString, QByteArray>> full = {
        {"version", QByteArray::fromHex("0100" "02" "03" "2b1a0000" "01" "0c" "0000")},
        {"cont status", kContStatusImage},
        {"extended status", kExtendedStatusImage},
        {"id statistic", kIdStatisticImage},
        {"parameters", kParametersImage},
        {"frequency", QByteArray::fromHex("0102030405060708")},
    };
    for (const auto& r : full) {
        for (int cut : {0, 1, 3, 5, 15, 17, 25, 50})
            QTest::addRow("%s cut at %d", qPrintable(r.first), cut) << r.first << r.second << cut;
    }
}

void TestStatusRecords::shortReportReadsAsZeroPadded()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, record);
    QFETCH(int, cut);
    const QByteArray shortReport = record.left(cut);
    const QByteArray padded = shortReport + QByteArray(record.size() - shortReport.size(), '\0');
    const Reencode& reencode = kReencoders.value(kind);
    QCOMPARE(reencode(shortReport), reencode(padded));
    if (cut == 0) {
        const int headSize = kind == "id statistic" ? records::kIdStatisticHeadSize : record.size();
        QCOMPARE(reencode(shortReport), QByteArray(headSize, '\0'));
    }
}

QTEST_APPLESS_MAIN(TestStatusRecords)
#include "tst_status_records.moc"
