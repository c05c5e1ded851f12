// The simulator's outside inputs, one picked by the first byte: control lines (however the reads
// split them) run against a network of two unstarted modems, a modem's control requests, and the
// stepper controller's command stream.

#include "fuzzentries.h"

#include "linesplitter.h"
#include "modemmodel.h"
#include "protocol.h"
#include "simconfig.h"
#include "simnetwork.h"
#include "steppermodel.h"

namespace {

constexpr int kLineLimit = 64;

bool samePieces(const QVector<LineSplitter::Piece>& a, const QVector<LineSplitter::Piece>& b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (a[i].kind != b[i].kind || a[i].line != b[i].line)
            return false;
    }
    return true;
}

// The same stream fed whole and in pieces of `chunk` bytes gives the same lines; a line is never
// longer than the limit and holds no LF or NUL; each one gets an answer.
bool controlLines(const QByteArray& stream, int chunk)
{
    static SimNetwork network([] {
        SimConfig config;
        config.modems = 2;
        return config;
    }());
    LineSplitter whole(kLineLimit);
    LineSplitter pieces(kLineLimit);
    const QVector<LineSplitter::Piece> once = whole.feed(stream.constData(), stream.size());
    QVector<LineSplitter::Piece> split;
    for (int at = 0; at < stream.size(); at += chunk)
        split += pieces.feed(stream.constData() + at, qMin(chunk, stream.size() - at));
    if (!samePieces(once, split))
        return false;
    for (const LineSplitter::Piece& piece : once) {
        if (piece.kind != LineSplitter::Kind::Line)
            continue;
        if (piece.line.size() > kLineLimit || piece.line.contains('\n') || piece.line.contains('\0'))
            return false;
        const QString answer = network.execute(QString::fromUtf8(piece.line));
        if (answer.isEmpty())
            return false;
    }
    return true;
}

// Every answer of a modem is a whole report frame.
bool modemRequest(const QByteArray& datagram)
{
    static const ModemProfile profile;
    static ModemModel model(0, 0x7F00000B, profile, 1);
    const ModemModel::Outcome outcome = model.handle(datagram);
    for (const QByteArray& reply : outcome.replies) {
        if (!protocol::isFrame(reply) || !(protocol::parseHeader(reply).opcode & 0x8000))
            return false;
    }
    return true;
}

// Commands split across datagrams mean the same as in one; time then moves on by any amount.
bool stepperCommands(const QByteArray& stream, int cut, qint64 laterMs)
{
    StepperModel once(1000, 0);
    StepperModel split(1000, 0);
    const QList<QByteArray> answers = once.feed(stream, 0);
    QList<QByteArray> pieces = split.feed(stream.left(cut), 0);
    pieces += split.feed(stream.mid(cut), 0);
    if (answers != pieces)
        return false;
    return once.position(laterMs) == split.position(laterMs);
}

} // namespace

bool fuzzentry::simulator(const uint8_t* data, size_t size)
{
    if (size < 2)
        return true;
    const QByteArray rest(reinterpret_cast<const char*>(data + 2), int(size - 2));
    switch (data[0] % 3) {
    case 0:
        return controlLines(rest, data[1] % 16 + 1);
    case 1:
        return modemRequest(rest);
    default:
        return stepperCommands(rest, rest.isEmpty() ? 0 : data[1] % rest.size(), qint64(data[1]) * 997);
    }
}
