// libFuzzer driver of one entry point (FUZZ_ENTRY): an offscreen application for its widgets and
// sockets, silent diagnostics, and an abort when an invariant of the entry breaks.

#include "fuzzentries.h"

#include <QApplication>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    new QApplication(*argc, *argv); // lives as long as the process
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!fuzzentry::FUZZ_ENTRY(data, size))
        abort();
    return 0;
}
