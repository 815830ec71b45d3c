#pragma once

#include "cli/command_line.h"

#include <optional>

// The subcommands, each in a file of its own: the options it adds to its
// parser and what it runs.

void AddInfoOptions(QCommandLineParser& p);
int RunInfo(const Invocation& in);

void AddClockOptions(QCommandLineParser& p);
int RunClock(const Invocation& in);

void AddEventsOptions(QCommandLineParser& p);
int RunEvents(const Invocation& in);

void AddSummatorOptions(QCommandLineParser& p);
int RunSummator(const Invocation& in);

void AddReplayOptions(QCommandLineParser& p);
int RunReplay(const Invocation& in);

void AddDutyOptions(QCommandLineParser& p);
int RunDuty(const Invocation& in);

// --rated-load T for the duty estimate (duty, summator); false with error
// when the value is no rated load.
void AddRatedLoadOption(QCommandLineParser& p);
bool RatedLoadFromOptions(const QCommandLineParser& p, std::optional<double>& ratedLoad,
                          QString& error);

void AddVerifyOptions(QCommandLineParser& p);
int RunVerify(const Invocation& in);

void AddPortsOptions(QCommandLineParser& p);
int RunPorts(const Invocation& in);

// The fleet's database (push, fleet): --db CONNINFO, else ZORVAN_DB, else
// libpq's PG* variables; the server's notices to standard error. Connecting
// changes nothing; opening it for a push also makes or updates its tables.
// False, with one line on standard error, when it cannot be reached or used.
class PgConnection;
void AddDatabaseOption(QCommandLineParser& p);
[[nodiscard]] bool ConnectFleetDatabase(const Invocation& in, PgConnection& db);
[[nodiscard]] bool OpenFleetDatabase(const Invocation& in, PgConnection& db);

void AddPushOptions(QCommandLineParser& p);
int RunPush(const Invocation& in);

void AddFleetOptions(QCommandLineParser& p);
int RunFleet(const Invocation& in);

void AddRoundOptions(QCommandLineParser& p);
int RunRound(const Invocation& in);
