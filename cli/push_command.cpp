// `push`: what was read, into the fleet's PostgreSQL database.

#include "archive/archive_database.h"
#include "archive/archive_folder.h"
#include "cli/break_signal.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/image_input.h"
#include "fleet/archive_cranes.h"
#include "fleet/fleet_push.h"
#include "fleet/fleet_schema.h"
#include "fleet/pg_connection.h"
#include "fleet/sealed_visit.h"
#include "image/image_recorder.h"
#include "image/memory_image.h"
#include "runner/exit_codes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

// An image file, or a run folder's recorder.img, as a crane to push.
bool LoadInput(const QString& argument, PushCrane& crane, QString& error, bool& altered) {
    QString path = argument;
    const bool folder = QFileInfo(path).isDir();
    if (folder)
        path = QDir(path).filePath(ImageRecorder::FileName);
    MemoryImage image;
    if (!LoadImageArgument(path, image, error))
        return false;
    if (!CraneFromImage(image, crane, error)) {
        error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), error);
        return false;
    }
    return !folder || AddSealedVisit(argument, image, crane, error, altered);
}

QString DatabaseConnInfo(const QCommandLineParser& p) {
    if (p.isSet(QStringLiteral("db")))
        return p.value(QStringLiteral("db"));
    return qEnvironmentVariable("ZORVAN_DB");
}

} // namespace

void AddDatabaseOption(QCommandLineParser& p) {
    p.addOption({QStringLiteral("db"),
                 QStringLiteral("The fleet database: a libpq connection string or URI. Without "
                                "it ZORVAN_DB, else libpq's PG* variables. Passwords come from "
                                "PGPASSFILE, ~/.pgpass or the service file."),
                 QStringLiteral("CONNINFO")});
}

bool ConnectFleetDatabase(const Invocation& in, PgConnection& db) {
    Console& console = in.console;
    db.SetNoticeHandler([&console](const QString& notice) {
        console.Err(QStringLiteral("zorvan-cli: the server says: ") + notice);
    });
    if (db.Connect(DatabaseConnInfo(in.options)))
        return true;
    QString why;
    switch (db.ConnectRefusal()) {
    case PgConnection::Refusal::NoPassword:
        console.Err(QStringLiteral("zorvan-cli: no password: put it into ~/.pgpass as the README "
                                   "shows"));
        return false;
    case PgConnection::Refusal::LoginRefused:
        why = QStringLiteral("the server refused the login");
        break;
    case PgConnection::Refusal::NoDatabase:
        why = QStringLiteral("the server has no such database");
        break;
    case PgConnection::Refusal::Other:
        why = QStringLiteral("the server refused the connection");
        break;
    case PgConnection::Refusal::None:
    case PgConnection::Refusal::Unreachable:
        why = QStringLiteral("cannot reach the database");
        break;
    }
    console.Err(QStringLiteral("zorvan-cli: ") + why + QStringLiteral(": ") + db.Error());
    return false;
}

bool OpenFleetDatabase(const Invocation& in, PgConnection& db) {
    if (!ConnectFleetDatabase(in, db))
        return false;
    QString error;
    if (!FleetSchema::Ensure(db, error)) {
        in.console.Err(QStringLiteral("zorvan-cli: cannot use the database: ") + error);
        return false;
    }
    return true;
}

void AddPushOptions(QCommandLineParser& p) {
    p.addPositionalArgument(QStringLiteral("inputs"),
                            QStringLiteral("Memory images or run folders; none: every crane of "
                                           "this user's archive."),
                            QStringLiteral("[IMAGE|RUNFOLDER ...]"));
    AddDatabaseOption(p);
    p.addOption({QStringLiteral("init"),
                 QStringLiteral("Only make the database's tables (when it has none) and check "
                                "their version.")});
    AddQuietOption(p);
}

int RunPush(const Invocation& in) {
    const QStringList arguments = in.options.positionalArguments();
    const bool initOnly = in.options.isSet(QStringLiteral("init"));
    const bool quiet = in.options.isSet(QStringLiteral("quiet"));
    if (initOnly && !arguments.isEmpty())
        return UsageFailure(in.console, QStringLiteral("push"),
                            QStringLiteral("--init pushes nothing: it takes no IMAGE or "
                                           "RUNFOLDER"));

    // Images are read first: one that cannot be read pushes nothing. The
    // archive is read crane by crane as the push goes, from one snapshot; a
    // crane that cannot be read rolls the push back.
    std::unique_ptr<CraneSource> cranes;
    QString error;
    if (!initOnly && arguments.isEmpty()) {
        const QString path = QDir(ArchiveFolder()).filePath(ArchiveDatabase::FileName);
        if (!QFileInfo::exists(path)) {
            in.console.Err(QStringLiteral("zorvan-cli: there is no archive at ") +
                           QDir::toNativeSeparators(path));
            return ExitCode::FileFailure;
        }
        auto archive = std::make_unique<ArchiveCranes>();
        if (!archive->Open(path)) {
            in.console.Err(QStringLiteral("zorvan-cli: ") + archive->Error());
            return ExitCode::FileFailure;
        }
        cranes = std::move(archive);
    } else {
        std::vector<PushCrane> images;
        for (const QString& argument : arguments) {
            PushCrane crane;
            bool altered = false;
            if (!LoadInput(argument, crane, error, altered)) {
                in.console.Err(QStringLiteral("zorvan-cli: ") + error +
                               QStringLiteral("; nothing pushed"));
                return altered ? ExitCode::SealAltered : ExitCode::FileFailure;
            }
            images.push_back(std::move(crane));
        }
        cranes = std::make_unique<CraneList>(std::move(images));
    }

    PgConnection db;
    if (!OpenFleetDatabase(in, db))
        return ExitCode::DatabaseFailure;
    if (initOnly)
        return ExitCode::Success;

    PushTally tally;
    const auto stop = [&in] {
        // Ctrl+C reaches the flag through the event loop.
        QCoreApplication::processEvents();
        return in.breakSignal.Interrupted();
    };
    if (!PushCranes(db, *cranes, tally, error, stop)) {
        if (in.breakSignal.Interrupted()) {
            in.console.Err(QStringLiteral("zorvan-cli: push interrupted; nothing pushed"));
            return ExitCode::Interrupted;
        }
        if (!cranes->Error().isEmpty()) {
            in.console.Err(QStringLiteral("zorvan-cli: ") + cranes->Error() +
                           QStringLiteral("; nothing pushed"));
            return ExitCode::FileFailure;
        }
        in.console.Err(QStringLiteral("zorvan-cli: push failed, nothing pushed: ") + error);
        return ExitCode::DatabaseFailure;
    }
    if (!quiet) {
        const auto counted = [](qint64 n, const char* one, const char* many) {
            return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
        };
        in.console.Out(QStringLiteral("%1: %2 of %3 event records, %4 of %5 summator records and "
                                      "%6 new")
                           .arg(counted(tally.cranes, "crane", "cranes"))
                           .arg(tally.eventsAdded)
                           .arg(tally.eventsSent)
                           .arg(tally.sumsAdded)
                           .arg(tally.sumsSent)
                           .arg(counted(tally.visitsAdded, "visit", "visits")));
    }
    return ExitCode::Success;
}
