#include "simulator/sim_options.h"

#include "settings/baud_step.h"
#include "simulator/com_binding.h"

#include <QCommandLineParser>
#include <QDir>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

bool toInt(const QString& text, int min, int* out) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < min) {
        return false;
    }
    *out = v;
    return true;
}

} // namespace

std::optional<std::uint32_t> ParseHex(const QString& text) {
    QString t = text.trimmed();
    if (t.startsWith(u"0x", Qt::CaseInsensitive)) {
        t = t.mid(2);
    } else if (t.endsWith(u'h', Qt::CaseInsensitive)) {
        t.chop(1);
    }
    bool ok = false;
    const qulonglong v = t.toULongLong(&ok, 16);
    if (!ok || t.isEmpty() || v > 0xFFFFFFFFULL) {
        return std::nullopt;
    }
    return std::uint32_t(v);
}

QString PortFolder() {
    const QString fromEnv = qEnvironmentVariable("ZORVAN_PORTS");
    if (!fromEnv.isEmpty()) {
        return fromEnv;
    }
    return QDir::homePath() + QStringLiteral("/.config/zorvan/ports");
}

bool ParseSimOptions(const QStringList& args, SimOptions* options, QString* error) {
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Recorder simulator: serves the recorder's protocol on a pseudo-terminal.\n"
                       "Prints \"READY <device>\" once it serves."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption com(
        QStringLiteral("com"),
        QStringLiteral("Bind as COM N (1-99) through a link in the port folder; a number taken "
                       "there is refused. A generated memory is kept there for the next run with "
                       "the same content options."),
        QStringLiteral("N"));
    const QCommandLineOption image(QStringLiteral("image"), QStringLiteral("Load a memory image."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption saveImage(QStringLiteral("save-image"),
                                       QStringLiteral("Save the memory image at start and end."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption generate(QStringLiteral("generate"),
                                      QStringLiteral("Generate a plausible history."));
    const QCommandLineOption events(
        QStringLiteral("events"), QStringLiteral("Number of event records."), QStringLiteral("N"));
    const QCommandLineOption sums(
        QStringLiteral("sums"), QStringLiteral("Number of summator records."), QStringLiteral("N"));
    const QCommandLineOption wrapped(QStringLiteral("wrapped"),
                                     QStringLiteral("Fill both memories once round."));
    const QCommandLineOption eventPointer(QStringLiteral("event-pointer"),
                                          QStringLiteral("Address of the newest event (hex)."),
                                          QStringLiteral("HEX"));
    const QCommandLineOption sumPointer(
        QStringLiteral("sum-pointer"),
        QStringLiteral("Address of the newest summator record (hex)."), QStringLiteral("HEX"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Generator seed."),
                                  QStringLiteral("N"));
    const QCommandLineOption identSeed(
        QStringLiteral("ident-seed"),
        QStringLiteral("Identification of the recorder of another seed."), QStringLiteral("N"));
    const QCommandLineOption appendEvents(
        QStringLiteral("append-events"),
        QStringLiteral("Add N new event records to the memory served, dated after its newest "
                       "record and up to the recorder clock."),
        QStringLiteral("N"));
    const QCommandLineOption appendSums(
        QStringLiteral("append-sums"),
        QStringLiteral("Add N new summator records to the memory served."), QStringLiteral("N"));
    const QCommandLineOption silent(QStringLiteral("silent"), QStringLiteral("Never reply."));
    const QCommandLineOption badChecksum(QStringLiteral("bad-checksum"),
                                         QStringLiteral("Reply with a wrong last byte."));
    const QCommandLineOption cutAfter(QStringLiteral("cut-after"),
                                      QStringLiteral("Send only K reply bytes."),
                                      QStringLiteral("K"));
    const QCommandLineOption extraBytes(QStringLiteral("extra-bytes"),
                                        QStringLiteral("Junk bytes after each reply."),
                                        QStringLiteral("N"));
    const QCommandLineOption byteDelay(QStringLiteral("byte-delay"),
                                       QStringLiteral("Pause before each reply byte."),
                                       QStringLiteral("MS"));
    const QCommandLineOption baud(QStringLiteral("baud"),
                                  QStringLiteral("Pace requests and replies at this line speed."),
                                  QStringLiteral("B"));
    const QCommandLineOption failAddress(
        QStringLiteral("fail-address"),
        QStringLiteral("Leave requests for this address unanswered (hex)."), QStringLiteral("HEX"));
    const QCommandLineOption failCount(QStringLiteral("fail-count"),
                                       QStringLiteral("How many of them (default 1)."),
                                       QStringLiteral("N"));
    const QCommandLineOption eraseAckDelay(QStringLiteral("erase-ack-delay"),
                                           QStringLiteral("Acknowledge erase and reset this late."),
                                           QStringLiteral("S"));
    const QCommandLineOption vanishAfter(QStringLiteral("vanish-after"),
                                         QStringLiteral("Close the line after N requests."),
                                         QStringLiteral("N"));
    const QCommandLineOption log(QStringLiteral("log"),
                                 QStringLiteral("Print each request on stderr."));
    const QCommandLineOption timing(
        QStringLiteral("timing"),
        QStringLiteral("Append a line per reply at line speed: the client's reaction and\n"
                       "how late the reply ended, in microseconds."),
        QStringLiteral("FILE"));
    const QCommandLineOption control(
        QStringLiteral("control"),
        // One paragraph: the help wraps it at whole words.
        QStringLiteral("Read fault changes from stdin while serving: a line of fault options "
                       "replaces the faults (an empty line clears them), \"reopen\" serves a "
                       "new line. Answers \"OK\", \"READY <device>\" or \"ERROR <reason>\"."));
    const QCommandLineOption history(
        QStringLiteral("history"),
        QStringLiteral("What a generated history is like: \"crane\" (default), the identified "
                       "crane at work within its load chart, or \"uniform\", weights and reaches "
                       "spread evenly (the fixed data of older test benches)."),
        QStringLiteral("MODEL"));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Show the version and exit."));
    p.addOptions({help,        com,           image,        saveImage,  generate,  events,
                  sums,        wrapped,       eventPointer, sumPointer, seed,      silent,
                  badChecksum, cutAfter,      extraBytes,   byteDelay,  baud,      failAddress,
                  failCount,   eraseAckDelay, vanishAfter,  log,        identSeed, appendEvents,
                  appendSums,  timing,        control,      history,    version});
    if (!p.parse(args)) {
        *error = p.errorText();
        return false;
    }
    if (!p.positionalArguments().isEmpty()) {
        *error = QStringLiteral("Unexpected argument: ") + p.positionalArguments().constFirst();
        return false;
    }
    SimOptions o;
    o.help = p.isSet(help);
    o.version = p.isSet(version);
    o.helpText = p.helpText();

    // The tool's COM numbers, the range told whatever was given.
    int comNumber = 0;
    if (p.isSet(com) &&
        (!toInt(p.value(com), LowestComNumber, &comNumber) || comNumber > HighestComNumber)) {
        *error = QStringLiteral("--com takes %1 to %2, not '%3'")
                     .arg(LowestComNumber)
                     .arg(HighestComNumber)
                     .arg(p.value(com));
        return false;
    }

    // Each numeric option with its least value and target.
    const struct {
        const QCommandLineOption& option;
        int min;
        int* target;
    } numbers[] = {
        {com, LowestComNumber, &o.com},
        {events, 0, &o.generateOptions.events},
        {sums, 0, &o.generateOptions.sums},
        {cutAfter, 0, &o.faults.cutAfter},
        {extraBytes, 0, &o.faults.extraBytes},
        {byteDelay, 0, &o.faults.byteDelayMs},
        {baud, 1, &o.faults.baud},
        {failCount, 0, &o.failCount},
        {vanishAfter, 0, &o.faults.vanishAfter},
        {appendEvents, 0, &o.appendEvents},
        {appendSums, 0, &o.appendSums},
    };
    for (const auto& n : numbers) {
        if (p.isSet(n.option) && !toInt(p.value(n.option), n.min, n.target)) {
            *error = QStringLiteral("Bad value for --%1: %2")
                         .arg(n.option.names().constFirst(), p.value(n.option));
            return false;
        }
    }
    // The recorder's line runs at one of the speeds the tool offers.
    if (p.isSet(baud) && std::find(std::begin(LineSpeeds), std::end(LineSpeeds), o.faults.baud) ==
                             std::end(LineSpeeds)) {
        *error =
            QStringLiteral("--baud takes 1200, 2400, 4800 or 9600, not '%1'").arg(p.value(baud));
        return false;
    }
    if (p.isSet(history)) {
        const QString model = p.value(history);
        if (model != QLatin1String("crane") && model != QLatin1String("uniform")) {
            *error = QStringLiteral("--history takes crane or uniform, not '%1'").arg(model);
            return false;
        }
    }
    o.generateOptions.model =
        p.value(history) == QLatin1String("uniform") ? HistoryModel::Uniform : HistoryModel::Crane;
    const struct {
        const QCommandLineOption& option;
        std::optional<std::uint32_t>* target;
    } hexes[] = {
        {eventPointer, &o.generateOptions.eventPointer},
        {sumPointer, &o.generateOptions.sumPointer},
        {failAddress, &o.failAddress},
    };
    for (const auto& h : hexes) {
        if (p.isSet(h.option)) {
            *h.target = ParseHex(p.value(h.option));
            if (!*h.target) {
                *error = QStringLiteral("Bad hexadecimal value for --%1: %2")
                             .arg(h.option.names().constFirst(), p.value(h.option));
                return false;
            }
        }
    }
    if (p.isSet(seed)) {
        bool ok = false;
        o.generateOptions.seed = p.value(seed).toUInt(&ok);
        if (!ok) {
            *error = QStringLiteral("Bad value for --seed: ") + p.value(seed);
            return false;
        }
    }
    if (p.isSet(identSeed)) {
        bool ok = false;
        o.generateOptions.identSeed = p.value(identSeed).toUInt(&ok);
        if (!ok) {
            *error = QStringLiteral("Bad value for --ident-seed: ") + p.value(identSeed);
            return false;
        }
    }
    if (p.isSet(eraseAckDelay)) {
        bool ok = false;
        const double s = p.value(eraseAckDelay).toDouble(&ok);
        // NaN passes every comparison, and turning it into an integer is
        // undefined: only a finite number of seconds is a delay.
        if (!ok || !std::isfinite(s) || s < 0 || s > 3600) {
            *error = QStringLiteral("Bad value for --erase-ack-delay: ") + p.value(eraseAckDelay);
            return false;
        }
        o.faults.eraseAckDelayMs = int(s * 1000.0 + 0.5);
    }
    o.generateOptions.wrapped = p.isSet(wrapped);
    o.faults.silent = p.isSet(silent);
    o.faults.badChecksum = p.isSet(badChecksum);
    o.image = p.value(image);
    o.saveImage = p.value(saveImage);
    o.log = p.isSet(log);
    o.timingLog = p.value(timing);
    o.control = p.isSet(control);
    // Without an image there is nothing to serve but a generated history.
    o.generate = p.isSet(generate) || o.image.isEmpty();
    *options = o;
    return true;
}
