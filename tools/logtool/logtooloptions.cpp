#include "logtooloptions.h"

#include <QCommandLineParser>
#include <QHostAddress>

LogToolOptions::Status LogToolOptions::parse(const QStringList& arguments, QString& text)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Reads the station's binary packet logs: one line per record, statistics per modem, or a pcap\n"
        "file for Wireshark. The exit status is 1 when a file was damaged, 2 on a usage or file error."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Print this help."));
    const QList<QCommandLineOption> options = {
        help,
        {QStringLiteral("format"), QStringLiteral("text, csv or jsonl (default text)."), QStringLiteral("F")},
        {QStringLiteral("peer"), QStringLiteral("Only records of this modem."), QStringLiteral("ADDR[:PORT]")},
        {QStringLiteral("opcode"), QStringLiteral("Only these opcodes, names or numbers, comma-separated."), QStringLiteral("LIST")},
        {QStringLiteral("dir"), QStringLiteral("Only received (in) or sent (out) records."), QStringLiteral("in|out")},
        {QStringLiteral("since"), QStringLiteral("Only records from this local time on (yyyy-MM-dd hh:mm:ss)."), QStringLiteral("TIME")},
        {QStringLiteral("until"), QStringLiteral("Only records up to this local time."), QStringLiteral("TIME")},
        {QStringLiteral("follow"), QStringLiteral("Keep reading the last file as the station writes it.")},
        {QStringLiteral("stats"), QStringLiteral("Print per-modem counts, report rate and control-link loss instead of records.")},
        {QStringLiteral("pcap"), QStringLiteral("Write the records into a pcap file instead of printing them."), QStringLiteral("OUT")},
        {QStringLiteral("station"), QStringLiteral("The station's side in the pcap (default 0.0.0.0:40005)."), QStringLiteral("ADDR:PORT")},
    };
    parser.addOptions(options);
    if (!parser.parse(arguments)) {
        text = parser.errorText();
        return Error;
    }
    if (parser.isSet(help)) {
        text = parser.helpText();
        return Help;
    }
    files = parser.positionalArguments();
    if (files.isEmpty()) {
        text = QStringLiteral("no log file given");
        return Error;
    }
    const auto fail = [&text](const QString& why) {
        text = why;
        return Error;
    };
    const QString formatName = parser.value(QStringLiteral("format"));
    if (formatName == QLatin1String("csv"))
        format = LogFormatter::Csv;
    else if (formatName == QLatin1String("jsonl"))
        format = LogFormatter::Jsonl;
    else if (!formatName.isEmpty() && formatName != QLatin1String("text"))
        return fail(QStringLiteral("--format wants text, csv or jsonl"));
    if (parser.isSet(QStringLiteral("peer")) && !filter.setPeer(parser.value(QStringLiteral("peer"))))
        return fail(QStringLiteral("--peer wants an IPv4 address, optionally with :PORT"));
    if (parser.isSet(QStringLiteral("opcode")) && !filter.setOpcodes(parser.value(QStringLiteral("opcode"))))
        return fail(QStringLiteral("--opcode wants opcode names or numbers, such as REP_CONT_STATUS,0x0000"));
    if (parser.isSet(QStringLiteral("dir"))) {
        const QString dir = parser.value(QStringLiteral("dir"));
        if (dir != QLatin1String("in") && dir != QLatin1String("out"))
            return fail(QStringLiteral("--dir wants in or out"));
        filter.direction = dir == QLatin1String("out") ? 1 : 0;
    }
    if (parser.isSet(QStringLiteral("since")) && !LogFilter::parseTime(parser.value(QStringLiteral("since")), filter.sinceMs))
        return fail(QStringLiteral("--since wants a time such as 2026-12-07 14:30:00"));
    if (parser.isSet(QStringLiteral("until")) && !LogFilter::parseTime(parser.value(QStringLiteral("until")), filter.untilMs))
        return fail(QStringLiteral("--until wants a time such as 2026-12-07 14:30:00"));
    follow = parser.isSet(QStringLiteral("follow"));
    stats = parser.isSet(QStringLiteral("stats"));
    pcap = parser.value(QStringLiteral("pcap"));
    if (parser.isSet(QStringLiteral("station"))) {
        const QString station = parser.value(QStringLiteral("station"));
        const int colon = station.lastIndexOf(QLatin1Char(':'));
        bool portOk = false;
        bool addressOk = false;
        const uint port = station.mid(colon + 1).toUInt(&portOk);
        const quint32 address = QHostAddress(station.left(colon)).toIPv4Address(&addressOk);
        if (colon < 0 || !portOk || port == 0 || port > 0xFFFF || !addressOk)
            return fail(QStringLiteral("--station wants ADDR:PORT, such as 192.168.11.100:40005"));
        stationAddress = address;
        stationPort = quint16(port);
    }
    return Run;
}
