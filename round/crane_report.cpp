#include "round/crane_report.h"

#include "runner/exit_codes.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

// The line a --since-last readout ends with, once it has read records; its
// numbers grouped by a no-break space from 1 000 on.
const QRegularExpression RecordSources(
    QStringLiteral(
        "^Записей прочитано с линии ([\\d\\x{00A0}]+), взято из архива ([\\d\\x{00A0}]+)$"),
    QRegularExpression::MultilineOption);

int GroupedCount(QString digits) {
    return digits.remove(QChar(0x00A0)).toInt();
}

QString Tally(const MemoryTally& t) {
    if (t.fromLine < 0)
        return t.memory;
    const QString sources =
        QStringLiteral("%1 from the line, %2 from the archive").arg(t.fromLine).arg(t.fromArchive);
    if (t.fresh < 0)
        return t.memory + QLatin1Char(' ') + sources;
    return QStringLiteral("%1 %2 new (%3)").arg(t.memory).arg(t.fresh).arg(sources);
}

QString PushText(const CraneReport& r) {
    switch (r.push) {
    case PushOutcome::NotAsked:
        return QString();
    case PushOutcome::Pushed:
        return QStringLiteral("; pushed");
    case PushOutcome::Failed:
        return r.pushExitCode == ExitCode::Interrupted
                   ? QStringLiteral("; push stopped, nothing pushed")
                   : QStringLiteral("; push failed, nothing pushed");
    case PushOutcome::NotDone:
        return QStringLiteral("; not pushed");
    }
    return QString();
}

} // namespace

QStringList ReadoutArguments(const RoundCrane& crane, const QString& memory) {
    QStringList args{memory, QStringLiteral("--since-last")};
    if (crane.com != 0)
        args << QStringLiteral("--com") << QString::number(crane.com);
    else
        args << QStringLiteral("--port") << crane.port;
    if (crane.baud != 0)
        args << QStringLiteral("--baud") << QString::number(crane.baud);
    return args << QStringLiteral("-q");
}

QStringList PushArguments(const QStringList& folders, const QString& db) {
    QStringList args{QStringLiteral("push")};
    args << folders;
    if (!db.isEmpty())
        args << QStringLiteral("--db") << db;
    return args << QStringLiteral("-q");
}

ReadoutEnd ClassifyReadout(const QString& memory, int exitCode, bool crashed,
                           const QString& standardError) {
    ReadoutEnd end;
    end.tally.memory = memory;
    const auto m = RecordSources.match(standardError);
    if (m.hasMatch()) {
        end.tally.fromLine = GroupedCount(m.captured(1));
        end.tally.fromArchive = GroupedCount(m.captured(2));
    }
    if (crashed)
        end.outcome = m.hasMatch() ? CraneOutcome::CutShort : CraneOutcome::Failed;
    else if (exitCode == ExitCode::Success)
        end.outcome = CraneOutcome::Read;
    else if (exitCode == ExitCode::Interrupted)
        end.outcome = CraneOutcome::CutShort;
    else if (exitCode == ExitCode::LinkFailure)
        // Records had begun once the readout tells where they came from.
        end.outcome = m.hasMatch() ? CraneOutcome::CutShort : CraneOutcome::NotReachable;
    else
        end.outcome = CraneOutcome::Failed;
    return end;
}

QStringList MessagesToPassOn(const QString& standardError) {
    QStringList lines;
    for (const QString& line : standardError.split(QLatin1Char('\n'))) {
        const QString text = line.trimmed();
        if (!text.isEmpty() && !RecordSources.match(text).hasMatch())
            lines << text;
    }
    return lines;
}

QString CraneLine(const CraneReport& r) {
    QString what;
    switch (r.outcome) {
    case CraneOutcome::Read:
        what = QStringLiteral("read");
        break;
    case CraneOutcome::NotReachable:
        what = QStringLiteral("not reachable");
        break;
    case CraneOutcome::CutShort:
        what = QStringLiteral("cut short");
        break;
    case CraneOutcome::Failed:
        what = QStringLiteral("failed (exit code %1)").arg(r.exitCode);
        break;
    case CraneOutcome::NotRead:
        what = QStringLiteral("not read: the round was stopped");
        break;
    }
    QStringList tallies;
    for (const MemoryTally& t : r.memories)
        tallies << Tally(t);
    if (!tallies.isEmpty())
        what += QStringLiteral(", ") + tallies.join(QStringLiteral(", "));
    return r.name + QStringLiteral(": ") + what + PushText(r);
}

QString SummaryLine(const std::vector<CraneReport>& reports) {
    const auto count = [&](CraneOutcome o) {
        return std::count_if(reports.begin(), reports.end(),
                             [o](const CraneReport& r) { return r.outcome == o; });
    };
    QStringList parts;
    const struct {
        CraneOutcome outcome;
        const char* text;
    } kinds[] = {{CraneOutcome::Read, "read"},
                 {CraneOutcome::NotReachable, "not reachable"},
                 {CraneOutcome::CutShort, "cut short"},
                 {CraneOutcome::Failed, "failed"},
                 {CraneOutcome::NotRead, "not read"}};
    for (const auto& k : kinds)
        if (const auto n = count(k.outcome); n > 0 || k.outcome == CraneOutcome::Read)
            parts << QStringLiteral("%1 %2").arg(n).arg(QLatin1String(k.text));
    QString line =
        QStringLiteral("round: %1 %2: %3")
            .arg(reports.size())
            .arg(reports.size() == 1 ? QStringLiteral("crane") : QStringLiteral("cranes"))
            .arg(parts.join(QStringLiteral(", ")));
    const bool pushAsked = std::any_of(reports.begin(), reports.end(), [](const CraneReport& r) {
        return r.push != PushOutcome::NotAsked;
    });
    if (pushAsked)
        line += QStringLiteral("; %1 pushed")
                    .arg(std::count_if(reports.begin(), reports.end(), [](const CraneReport& r) {
                        return r.push == PushOutcome::Pushed;
                    }));
    return line;
}

int RoundExitCode(const std::vector<CraneReport>& reports, bool stopped) {
    if (stopped)
        return ExitCode::Interrupted;
    // A file or database failure says more than a link's; any other code (a
    // step stopped by someone else's signal, a crash) counts as the link's.
    const auto failure = [](int c) {
        return c == ExitCode::FileFailure || c == ExitCode::DatabaseFailure ? c
                                                                            : ExitCode::LinkFailure;
    };
    int code = ExitCode::Success;
    for (const CraneReport& r : reports) {
        if (r.outcome != CraneOutcome::Read)
            code = std::max(code, failure(r.exitCode));
        if (r.push == PushOutcome::Failed)
            code =
                std::max(code, r.pushExitCode == ExitCode::FileFailure ? ExitCode::FileFailure
                                                                       : ExitCode::DatabaseFailure);
    }
    return code;
}
