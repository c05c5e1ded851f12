// Every fuzz entry point over tens of thousands of seeded random inputs: mutated seeds of its
// corpus, now and then plain noise.

#include "fuzzentries.h"

#include <QDir>
#include <QRandomGenerator>
#include <QtTest>

namespace {

using Entry = bool (*)(const uint8_t*, size_t);

Entry entryNamed(const QString& name)
{
    static const QHash<QString, Entry> entries{
        {QStringLiteral("records"), fuzzentry::records},   {QStringLiteral("windows"), fuzzentry::windows},
        {QStringLiteral("phone"), fuzzentry::phone},       {QStringLiteral("stepper"), fuzzentry::stepper},
        {QStringLiteral("attenuator"), fuzzentry::attenuator}, {QStringLiteral("simulator"), fuzzentry::simulator},
    };
    return entries.value(name);
}

QByteArrayList corpusOf(const QString& target)
{
    QByteArrayList seeds;
    const QDir folder(QStringLiteral(FUZZ_CORPUS_DIR "/") + target);
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            seeds << file.readAll();
    }
    return seeds;
}

QByteArray noise(QRandomGenerator& random, int size)
{
    QByteArray bytes(size, '\0');
    for (char& c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

// A seed with a few of the changes a fuzzer makes: flipped bits, new bytes, cuts and insertions.
QByteArray mutate(QRandomGenerator& random, QByteArray input)
{
    const int changes = 1 + random.bounded(4);
    for (int i = 0; i < changes; ++i) {
        const int at = input.isEmpty() ? 0 : random.bounded(input.size());
        switch (random.bounded(6)) {
        case 0:
            if (!input.isEmpty())
                input[at] = char(input[at] ^ (1 << random.bounded(8)));
            break;
        case 1:
            if (!input.isEmpty())
                input[at] = char(random.bounded(256));
            break;
        case 2:
            input.insert(at, noise(random, 1 + random.bounded(8)));
            break;
        case 3:
            input.remove(at, 1 + random.bounded(8));
            break;
        case 4:
            input.truncate(at);
            break;
        default:
            if (!input.isEmpty())
                input[at] = "\x00\x01\x7f\x80\xff\n\r"[random.bounded(7)];
            break;
        }
    }
    return input;
}

// Diagnostics of tens of thousands of odd inputs would only slow the run down.
class Silence
{
public:
    Silence() : previous(qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {})) {}
    ~Silence() { qInstallMessageHandler(previous); }

private:
    QtMessageHandler previous;
};

} // namespace

class RandomInputs : public QObject
{
    Q_OBJECT

private slots:
    void seededInputsKeepInvariants_data();
    void seededInputsKeepInvariants();
};

void RandomInputs::seededInputsKeepInvariants_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("inputs");
    QTest::addColumn<int>("maxNoise");
    QTest::newRow("record decoders") << "records" << 30000 << 1400;
    QTest::newRow("window report slots") << "windows" << 10000 << 300;
    QTest::newRow("phone datagrams") << "phone" << 20000 << 300;
    QTest::newRow("stepper controller replies") << "stepper" << 20000 << 80;
    QTest::newRow("attenuator replies") << "attenuator" << 20000 << 40;
    QTest::newRow("simulator inputs") << "simulator" << 30000 << 400;
}

void RandomInputs::seededInputsKeepInvariants()
{
    QFETCH(QString, target);
    QFETCH(int, inputs);
    QFETCH(int, maxNoise);
    const Entry entry = entryNamed(target);
    const QByteArrayList seeds = corpusOf(target);
    QVERIFY2(!seeds.isEmpty(), "the target has no seed corpus");

    QRandomGenerator random(0x5EED0000u + quint32(qHash(target)));
    Silence silence;
    for (int i = 0; i < inputs; ++i) {
        const QByteArray input = random.bounded(8) == 0
            ? noise(random, random.bounded(maxNoise + 1))
            : mutate(random, seeds.at(random.bounded(seeds.size())));
        if (!entry(reinterpret_cast<const uint8_t*>(input.constData()), size_t(input.size())))
            QFAIL(qPrintable(QStringLiteral("input %1 broke an invariant: %2").arg(i).arg(QString::fromLatin1(input.toHex()))));
    }
}

QTEST_MAIN(RandomInputs)
#include "tst_random_inputs.moc"
