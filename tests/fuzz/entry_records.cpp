// Every report-record decoder over the same bytes, and the mode byte.

#include "fuzzentries.h"

#include "records.h"
#include "status_records.h"

namespace {

// A decoder must accept any bytes, and what its encoder writes must decode to the same record.
template <typename Decode, typename Encode>
bool settles(const QByteArray& rep, Decode decode, Encode encode)
{
    const QByteArray once = encode(decode(rep));
    return encode(decode(once)) == once;
}

} // namespace

bool fuzzentry::records(const uint8_t* data, size_t size)
{
    // Raw data: a decoder that reads past the report's end touches memory it does not own.
    const QByteArray rep = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    bool ok = settles(rep, records::decodeVersion, records::encodeVersion)
        && settles(rep, records::decodeContStatus, records::encodeContStatus)
        && settles(rep, records::decodeExtendedStatus, records::encodeExtendedStatus)
        && settles(rep, records::decodeIdStatistic, records::encodeIdStatistic)
        && settles(rep, records::decodeParameters, records::encodeParameters)
        && settles(rep, records::decodeFrequency, [](const FrequencyRecord& f) { return records::encodeFrequency(f.frequency); })
        && settles(rep, records::decodeDefaults, records::encodeDefaults)
        && settles(rep, records::decodeConverters, records::encodeConverters)
        && settles(rep, records::decodeSessionSecret, records::encodeSessionSecret);
    for (size_t i = 0; ok && i < qMin<size_t>(size, 4); ++i) {
        const OpMode mode = records::decodeOpmode(data[i]);
        ok = !mode.valid || records::encodeOpmode(mode.mode, mode.unit, mode.ls, mode.hs) == data[i];
    }
    return ok;
}
