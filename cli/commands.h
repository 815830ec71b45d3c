#pragma once

#include "cli/command_line.h"

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

void AddPortsOptions(QCommandLineParser& p);
int RunPorts(const Invocation& in);
