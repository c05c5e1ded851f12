#pragma once
// zarnik-log's work over its files: read each log, filter the records and hand them to the
// line printer, the statistics or the pcap file; damage goes to the error stream.

#include "logformatter.h"
#include "logstats.h"
#include "logtooloptions.h"
#include "pcapwriter.h"
#include "recordfields.h"

#include <cstdio>

class QIODevice;
class LogReader;

class LogTool {
public:
    LogTool(const LogToolOptions& options, std::FILE* out, std::FILE* err);

    // 0: every file read whole; 1: a file was damaged; 2: a file or the pcap could not be opened.
    int run();

private:
    bool readFile(const QString& path, bool follow);
    void handle(const LogRecord& record);
    void flush();

    const LogToolOptions& m_options;
    std::FILE* m_out;
    std::FILE* m_err;
    LogFormatter m_formatter;
    RecordFields m_fields;
    LogStats m_stats;
    PcapWriter m_pcap;
    QByteArray m_pending;
    bool m_damaged = false;
};
