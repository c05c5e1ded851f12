#include "protocol.h"

#include <QtTest>

// Frames built and parsed against the opcode table.
class TestProtocol : public QObject {
    Q_OBJECT

private slots:
    void lengthTable_data();
    void lengthTable();
    void frameExamples();
    void sessionSecretLengthIgnoresTopBits();
    void sessionSecretBeyondPayloadIsRefused();
    void headerOfShortDatagramReadsZero();
};

void TestProtocol::lengthTable_data()
{
    QTest::addColumn<int>("opcode");
    QTest::addColumn<int>("length");
    const QList<QPair<int, int>> rows = {
        {0x0000, 2}, {0x0101, 8}, {0x0102, 8}, {0x0103, 1}, {0x0104, 1156}, {0x0105, 4},
        {0x0106, 1}, {0x0107, 1}, {0x0108, 1}, {0x010B, 128}, {0x010E, 1}, {0x010F, 2},
        {0x8000, 2}, {0x8101, 8}, {0x8102, 8}, {0x8103, 1}, {0x8104, 1156}, {0x8105, 4},
        {0x8106, 1}, {0x8107, 12}, {0x8108, 29}, {0x8109, 1024}, {0x810A, 136}, {0x810B, 128},
        {0x810C, 16}, {0x810E, 1},
        {0x0001, -1}, {0x0100, -1}, {0x0109, -1}, {0x010A, -1}, {0x010C, -1}, {0x0110, -1},
        {0x7FFF, -1}, {0x8001, -1}, {0x8100, -1}, {0x810F, -1}, {0xFFFF, -1},
    };
    for (const auto& r : rows)
        QTest::newRow(qPrintable(protocol::hex4(quint16(r.first)))) << r.first << r.second;
}

void TestProtocol::lengthTable()
{
    QFETCH(int, opcode);
    QFETCH(int, length);
    OP_PAYLOAD_t payload;
    QCOMPARE(protocol::payloadLength(quint16(opcode), payload.bytes), length);
    const QByteArray frame = protocol::buildFrame(quint16(opcode), payload);
    QCOMPARE(frame.size(), length < 0 ? 0 : 6 + length);
}

void TestProtocol::frameExamples()
{
    OP_PAYLOAD_t report;
    report.bytes[0] = 0x08;
    report.bytes[1] = 0x81;
    QCOMPARE(protocol::buildFrame(CMD_GET_REPORT, report), QByteArray::fromHex("01ff000000000881"));

    OP_PAYLOAD_t txOff;
    txOff.bytes[0] = 1;
    QCOMPARE(protocol::buildFrame(CMD_SET_TX_MODE, txOff), QByteArray::fromHex("01ff0000060101"));

    OP_PAYLOAD_t reboot;
    memset(reboot.bytes, 0xDD, sizeof reboot.bytes);
    QCOMPARE(protocol::buildFrame(CMD_REBOOT_DEVICE, reboot), QByteArray::fromHex("01ff00000501dddddddd"));

    const QByteArray status = QByteArray::fromHex("01ff2a000881") + QByteArray(29, '\x07');
    const auto header = protocol::parseHeader(status);
    QVERIFY(protocol::isFrame(status));
    QCOMPARE(header.seqnum, quint16(42));
    QCOMPARE(header.opcode, quint16(REP_CONT_STATUS));
    QCOMPARE(protocol::payloadOf(status), QByteArray(29, '\x07'));
}

void TestProtocol::sessionSecretLengthIgnoresTopBits()
{
    OP_PAYLOAD_t payload;
    payload.bytes[0] = 0x05;
    payload.bytes[1] = 0x10;
    QCOMPARE(protocol::payloadLength(CMD_SESSION_SECRET, payload.bytes), 7);
    QCOMPARE(protocol::buildFrame(CMD_SESSION_SECRET, payload).size(), 13);
}

void TestProtocol::sessionSecretBeyondPayloadIsRefused()
{
    OP_PAYLOAD_t payload;
    payload.bytes[0] = 0xFF;
    payload.bytes[1] = 0x0F; // 4095 + 2 bytes: more than the payload buffer holds
    QCOMPARE(protocol::payloadLength(CMD_SESSION_SECRET, payload.bytes), 4097);
    QVERIFY(protocol::buildFrame(CMD_SESSION_SECRET, payload).isEmpty());

    payload.bytes[0] = 0x86;
    payload.bytes[1] = 0x04; // 1158 + 2 = 1160: exactly the buffer
    QCOMPARE(protocol::buildFrame(CMD_SESSION_SECRET, payload).size(), 6 + 1160);
}

void TestProtocol::headerOfShortDatagramReadsZero()
{
    const QByteArray shortOne = QByteArray::fromHex("01ff2a");
    const auto header = protocol::parseHeader(shortOne);
    QCOMPARE(header.signature, quint16(0xFF01));
    QCOMPARE(header.seqnum, quint16(0x002A));
    QCOMPARE(header.opcode, quint16(0));
    QVERIFY(!protocol::isFrame(shortOne));
    QVERIFY(protocol::payloadOf(shortOne).isEmpty());
}

QTEST_APPLESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
