// libFuzzer entry: each input is a packet log, read whole and then in following mode a byte at
// a time, every record decoded and formatted, so framing, fields and lines all see it.

#include "logformatter.h"
#include "logreader.h"
#include "recordfields.h"
#include "protocol.h"

#include <QBuffer>

namespace {

void readAll(QIODevice& device, bool following, qint64 grow, const QByteArray& data, QBuffer* growing)
{
    static RecordFields fields;
    static LogFormatter formats[] = {LogFormatter(LogFormatter::Text), LogFormatter(LogFormatter::Csv),
                                     LogFormatter(LogFormatter::Jsonl)};
    QByteArray out;
    LogReader reader(device);
    reader.setFollowing(following);
    LogRecord record;
    LogDamage damage;
    qint64 fed = growing ? 0 : data.size();
    for (int turn = 0; turn < 4 * data.size() + 16; ++turn) {
        const LogReader::Item item = reader.next(record, damage);
        if (item == LogReader::End)
            return;
        if (item == LogReader::NeedMore) {
            if (!growing || fed >= data.size())
                return;
            const qint64 at = growing->pos();
            growing->seek(growing->size());
            growing->write(data.constData() + fed, qMin(grow, data.size() - fed));
            growing->seek(at);
            fed += grow;
            continue;
        }
        if (item == LogReader::Record) {
            fields.decode(protocol::parseHeader(record.frame).opcode, protocol::payloadOf(record.frame));
            out.clear();
            for (LogFormatter& f : formats)
                f.append(out, record, fields);
        } else {
            damage.describe();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    QBuffer whole;
    whole.setData(input);
    whole.open(QIODevice::ReadOnly);
    readAll(whole, false, 0, input, nullptr);

    QBuffer growing;
    growing.open(QIODevice::ReadWrite);
    readAll(growing, true, 7, input, &growing);
    return 0;
}
