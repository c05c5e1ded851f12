#include "protocol.h"
#include "status_records.h"

#include <QtTest>

// A zero record of `size` bytes with hex byte strings placed at their offsets.
static QByteArray image(int size, std::initializer_list<std::pair<int, const char*>> parts)
{
    QByteArray out(size, '\0');
    for (const auto& part : parts)
        out.replace(part.first, int(strlen(part.second)) / 2, QByteArray::fromHex(part.second));
    return out;
}

// Frames and report records, byte for byte.
class TestProtocol : public QObject {
    Q_OBJECT

private slots:
    void frameLengthFollowsOpcodeTable_data()
    {
        QTest::addColumn<int>("opcode");
        QTest::addColumn<QByteArray>("record"); // only the session secret's length word is read from it
        QTest::addColumn<int>("length");        // -1: no frame
        const QList<QPair<int, int>> table = {
            {0x0000, 2}, {0x0101, 8}, {0x0102, 8}, {0x0103, 1}, {0x0104, 1156}, {0x0105, 4},
            {0x0106, 1}, {0x0107, 1}, {0x0108, 1}, {0x010B, 128}, {0x010E, 1}, {0x010F, 2},
            {0x8000, 2}, {0x8101, 8}, {0x8102, 8}, {0x8103, 1}, {0x8104, 1156}, {0x8105, 4},
            {0x8106, 1}, {0x8107, 12}, {0x8108, 29}, {0x8109, 1024}, {0x810A, 136}, {0x810B, 128},
            {0x810C, 16}, {0x810E, 1},
            {0x0001, -1}, {0x0109, -1}, {0x010A, -1}, {0x010C, -1}, {0x0110, -1}, {0x8100, -1}, {0x810F, -1},
        };
        for (const auto& row : table)
            QTest::newRow(qPrintable(protocol::hex4(quint16(row.first)))) << row.first << QByteArray() << row.second;
        QTest::newRow("secret, top bits of the word ignored") << int(CMD_SESSION_SECRET) << QByteArray::fromHex("0510")
                                                              << 7;
        QTest::newRow("secret filling the payload") << int(CMD_SESSION_SECRET) << QByteArray::fromHex("8604") << 1160;
        QTest::newRow("secret beyond the payload") << int(CMD_SESSION_SECRET) << QByteArray::fromHex("ff0f") << -1;
    }

    void frameLengthFollowsOpcodeTable()
    {
        QFETCH(int, opcode);
        QFETCH(QByteArray, record);
        QFETCH(int, length);
        const QByteArray frame = protocol::buildFrame(quint16(opcode), protocol::payloadFrom(record));
        QCOMPARE(frame.size(), length < 0 ? 0 : protocol::kHeaderSize + length);
    }

    void recordsMatchTheirWireImage_data()
    {
        QTest::addColumn<QByteArray>("encoded");       // a record with a distinct value in every field
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QByteArray>("reencoded");     // the image decoded and encoded again
        QTest::addColumn<QByteArray>("halfReencoded"); // the same for its first half
        using namespace records;
        const auto row = [](const char* name, const QByteArray& encoded, const QByteArray& image, auto decode,
                            auto encode) {
            const QByteArray half = image.left(image.size() / 2);
            QTest::newRow(name) << encoded << image << encode(decode(image)) << encode(decode(half));
        };
        row("version", encodeVersion({1, 2, 3, 0x1A2B, 1, 0x0C}),
            QByteArray::fromHex("0100" "02" "03" "2b1a0000" "01" "0c" "0000"), decodeVersion, encodeVersion);
        row("cont status", encodeContStatus({0x43, 1, 85, -12, 40, 0x0102, 0x0304, 0x0506, 0x0708, 64000, -1}),
            image(kContStatusSize, {{0, "430155f428" "0201" "0403" "0605" "0807"}, {13, "00fa0000"}, {21, "ffffffff"}}),
            decodeContStatus, encodeContStatus);
        row("extended status",
            encodeExtendedStatus({9, 2, 3, 1, 0x0B, 1, 70, 8500, -1250, 3175, 1000, 2, 3, 999, 2048000, -5, 123456}),
            image(kExtendedStatusSize, {{0, "090203010b"}, {8, "0146"}, {16, "3421"}, {24, "1efb670c"},
                                        {48, "e80302000300e703"}, {56, "00401f00"}, {64, "fbffffff"}, {72, "40e20100"}}),
            decodeExtendedStatus, encodeExtendedStatus);
        row("id statistic",
            encodeIdStatistic({2, {{0x11, 0x1234, 1500, 10, 20, 0x01020304}, {2, 1000, 100000, 1, 2, 0xFFFFFFFF},
                                   {0x0F, 1, 0, 0, 0, 0}}}),
            image(kIdStatisticHeadSize + 3 * kIdStatisticEntrySize,
                  {{0, "0302"}, {16, "11000000" "3412" "0000" "dc050000" "0a00" "1400" "04030201"},
                   {36, "02000000" "e803" "0000" "a0860100" "0100" "0200" "ffffffff"}, {56, "0f000000" "0100"}}),
            decodeIdStatistic, encodeIdStatistic);
        row("parameters", encodeParameters({1400000000, 1450000000, 10000000}),
            image(kParametersSize, {{0, "004e7253" "00000000" "803e6d56" "00000000" "80969800"}}), decodeParameters,
            encodeParameters);
        row("frequency", encodeFrequency(0x0102030405060708),
            QByteArray::fromHex("0807060504030201"), decodeFrequency,
            [](FrequencyRecord f) { return encodeFrequency(f.frequency); });
    }

    void recordsMatchTheirWireImage()
    {
        QFETCH(QByteArray, encoded);
        QFETCH(QByteArray, image);
        QFETCH(QByteArray, reencoded);
        QFETCH(QByteArray, halfReencoded);
        QCOMPARE(encoded.toHex(), image.toHex());
        QCOMPARE(reencoded.toHex(), image.toHex());
        // A cut report reads its missing bytes as zero.
        const int half = image.size() / 2;
        QCOMPARE(halfReencoded.toHex(), (image.left(half) + QByteArray(image.size() - half, '\0')).toHex());
    }
};

QTEST_APPLESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
