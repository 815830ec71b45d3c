// `fleet`: the page over every crane of the fleet database.

#include "cli/commands.h"
#include "cli/console.h"
#include "fleet/fleet_page.h"
#include "fleet/fleet_query.h"
#include "fleet/fleet_schema.h"
#include "fleet/pg_connection.h"
#include "runner/exit_codes.h"

#include <QDir>

void AddFleetOptions(QCommandLineParser& p) {
    AddDatabaseOption(p);
    p.addOption({QStringLiteral("out"),
                 QStringLiteral("The folder of the page (made when missing)."),
                 QStringLiteral("DIR")});
    p.addOption({QStringLiteral("now"),
                 QStringLiteral("The end of the last 12 months, \"dd.mm.yyyy hh:mm\" (default: "
                                "the computer's clock)."),
                 QStringLiteral("TIME")});
}

int RunFleet(const Invocation& in) {
    const QString command = QStringLiteral("fleet");
    if (!in.options.isSet(QStringLiteral("out")))
        return UsageFailure(in.console, command, QStringLiteral("fleet needs --out DIR"));
    QDateTime now = QDateTime::currentDateTime();
    if (in.options.isSet(QStringLiteral("now"))) {
        now = QDateTime::fromString(in.options.value(QStringLiteral("now")),
                                    QStringLiteral("dd.MM.yyyy hh:mm"));
        if (!now.isValid())
            return UsageFailure(in.console, command,
                                QStringLiteral("--now takes \"dd.mm.yyyy hh:mm\", not '%1'")
                                    .arg(in.options.value(QStringLiteral("now"))));
    }
    // A look changes nothing: no tables are made for it.
    PgConnection db;
    if (!ConnectFleetDatabase(in, db))
        return ExitCode::DatabaseFailure;
    QString error;
    switch (FleetSchema::Check(db, error)) {
    case FleetSchema::Found::Ready:
        break;
    case FleetSchema::Found::None:
        in.console.Err(QStringLiteral("zorvan-cli: no fleet data here yet: push first"));
        return ExitCode::Usage;
    case FleetSchema::Found::Older:
        in.console.Err(QStringLiteral("zorvan-cli: the fleet's tables here are of an older "
                                      "version: the next push brings them up to date"));
        return ExitCode::DatabaseFailure;
    case FleetSchema::Found::Newer:
        in.console.Err(QStringLiteral("zorvan-cli: cannot use the database: ") + error);
        return ExitCode::DatabaseFailure;
    case FleetSchema::Found::Failed:
        in.console.Err(QStringLiteral("zorvan-cli: cannot read the database: ") + error);
        return ExitCode::DatabaseFailure;
    }
    FleetData data;
    if (!QueryFleet(db, now, data, error)) {
        in.console.Err(QStringLiteral("zorvan-cli: cannot read the database: ") + error);
        return ExitCode::DatabaseFailure;
    }
    const QString folder = in.options.value(QStringLiteral("out"));
    if (!WriteFleetPage(data, now, folder, error)) {
        in.console.Err(QStringLiteral("zorvan-cli: cannot write the page: ") + error);
        return ExitCode::FileFailure;
    }
    in.console.Out(QDir::toNativeSeparators(QDir(folder).filePath(QStringLiteral("index.html"))));
    return ExitCode::Success;
}
