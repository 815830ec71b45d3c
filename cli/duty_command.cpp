// `duty`: the crane's duty by ISO 4301-1 from a memory image, offline: the
// estimate a summator readout writes as duty.json and shows on its page.

#include "archive/archive_database.h"
#include "archive/archive_folder.h"
#include "archive/crane_image.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/image_input.h"
#include "duty/duty_estimate.h"
#include "duty/duty_report.h"
#include "image/duty_image.h"
#include "image/memory_image.h"
#include "runner/exit_codes.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

void AddRatedLoadOption(QCommandLineParser& p) {
    p.addOption({QStringLiteral("rated-load"),
                 QStringLiteral("The crane's rated load in tonnes for the duty estimate, instead "
                                "of the identification's field 1.6."),
                 QStringLiteral("T")});
}

bool RatedLoadFromOptions(const QCommandLineParser& p, std::optional<double>& ratedLoad,
                          QString& error) {
    ratedLoad.reset();
    if (!p.isSet(QStringLiteral("rated-load")))
        return true;
    const QString text = p.value(QStringLiteral("rated-load"));
    ratedLoad = ReadRatedLoad(text);
    if (!ratedLoad)
        error = QStringLiteral("the rated load is a number of tonnes above 0, not '%1'").arg(text);
    return ratedLoad.has_value();
}

void AddDutyOptions(QCommandLineParser& p) {
    p.addPositionalArgument(QStringLiteral("image"),
                            QStringLiteral("The memory image: a run folder's recorder.img, or an "
                                           "image archive of an earlier version."));
    p.addOption({QStringLiteral("crane"),
                 QStringLiteral("Instead of an image, the crane's latest view in this user's "
                                "archive: its key, or the start of it (see --list-cranes)."),
                 QStringLiteral("KEY")});
    p.addOption({QStringLiteral("list-cranes"),
                 QStringLiteral("List the cranes of this user's archive (key, last read, "
                                "identification) and exit.")});
    AddRatedLoadOption(p);
    p.addOption({QStringLiteral("json"),
                 QStringLiteral("Print the estimate as the file duty.json holds it.")});
}

int RunDuty(const Invocation& in) {
    const QString command = QStringLiteral("duty");
    const QStringList arguments = in.options.positionalArguments();
    const QString database = ArchiveFolder() + QLatin1Char('/') + ArchiveDatabase::FileName;
    if (in.options.isSet(QStringLiteral("list-cranes"))) {
        // A look makes nothing: no file, or an empty one, is left as it is
        // (opening it would make it an archive).
        const QFileInfo file(database);
        const QString nothingRead =
            QStringLiteral("zorvan-cli: nothing has been read yet: no crane in the archive %1")
                .arg(QDir::toNativeSeparators(database));
        if (!file.exists() || (file.isFile() && file.size() == 0)) {
            in.console.Err(nothingRead);
            return ExitCode::Usage;
        }
        QStringList lines;
        QString error;
        if (!ListCranes(database, lines, error)) {
            in.console.Err(QStringLiteral("zorvan-cli: ") + error);
            return ExitCode::FileFailure;
        }
        if (lines.isEmpty()) {
            in.console.Err(nothingRead);
            return ExitCode::Usage;
        }
        for (const QString& line : lines)
            in.console.Out(line);
        return ExitCode::Success;
    }
    const bool fromArchive = in.options.isSet(QStringLiteral("crane"));
    if (arguments.size() != (fromArchive ? 0 : 1))
        return UsageFailure(in.console, command,
                            QStringLiteral("duty takes one memory image, or --crane KEY"));
    std::optional<double> ratedLoad;
    QString error;
    if (!RatedLoadFromOptions(in.options, ratedLoad, error))
        return UsageFailure(in.console, command, error);

    MemoryImage image;
    if (fromArchive) {
        if (!LoadCraneImage(database, in.options.value(QStringLiteral("crane")), image, error)) {
            in.console.Err(QStringLiteral("zorvan-cli: ") + error);
            return ExitCode::FileFailure;
        }
    } else if (!LoadImageArgument(arguments[0], image, error)) {
        in.console.Err(QStringLiteral("zorvan-cli: ") + error);
        return ExitCode::FileFailure;
    }
    DutyImageRead read = DutyInputFromImage(image);
    read.input.ratedLoadGiven = ratedLoad;
    // Without a record there is nothing to estimate: a table of dashes
    // would pass for an answer.
    if (read.written == 0) {
        in.console.Err(
            QStringLiteral("zorvan-cli: в образе нет записей сумматора: прочитайте сумматор"));
        return ExitCode::FileFailure;
    }
    if (!read.missing.isEmpty())
        in.console.Err(QStringLiteral("zorvan-cli: ") + read.missing +
                       QStringLiteral("; взято записей сумматора: %1").arg(read.records));
    const DutyEstimate estimate = EstimateDuty(read.input);
    if (in.options.isSet(QStringLiteral("json"))) {
        // The file's bytes as they are, whatever the terminal's encoding.
        const QByteArray json = DutyJson(estimate);
        std::fwrite(json.constData(), 1, std::size_t(json.size()), stdout);
        std::fflush(stdout);
    } else {
        QString text = DutyText(estimate);
        text.chop(1);
        for (const QString& line : text.split(QLatin1Char('\n')))
            in.console.Out(line);
    }
    return ExitCode::Success;
}
