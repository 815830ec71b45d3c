// `info`: identification, clock, pointers and the state of both memories.

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/recorder_session.h"
#include "decoding/russian_numbers.h"
#include "readout/event_readout.h"
#include "readout/ident_block.h"
#include "readout/readout_log.h"
#include "runner/exit_codes.h"
#include "summator/sum_readout.h"

using namespace RecorderMap;

namespace {

// What info reads, in the order it reads it.
struct RecorderState {
    bool eventsWrapped = false;
    bool sumsWrapped = false;
    std::uint32_t eventPointer = 0;
    std::uint32_t sumPointer = 0;
};

QString YesNo(bool yes) {
    return yes ? QStringLiteral("да") : QStringLiteral("нет");
}

// The pointer, and what the memory holds when the pointer is plausible; an
// implausible one is told as the readouts tell it. False then.
bool PrintMemory(Console& console, const QString& pointerLabel, const QString& countLabel,
                 const QString& wrappedLabel, std::uint32_t pointer, bool valid, bool wrapped,
                 int (*count)(std::uint32_t, bool)) {
    console.Out(pointerLabel + Hex5(pointer) + QStringLiteral("h"));
    if (!valid) {
        console.inform(MessageIcon::Error, QStringLiteral("Прочитан некорректный адрес ") +
                                               Hex8(pointer) + QStringLiteral("h"));
        return false;
    }
    console.Out(countLabel + RussianNumber(count(pointer, wrapped)));
    console.Out(wrappedLabel + YesNo(wrapped));
    return true;
}

} // namespace

void AddInfoOptions(QCommandLineParser& p) {
    AddLineOptions(p);
}

int RunInfo(const Invocation& in) {
    Settings s;
    QString error;
    if (!ResolveSettings(in.options, in.console, s, error))
        return UsageFailure(in.console, QStringLiteral("info"), error);

    RecorderSession session(in.console, in.breakSignal);
    if (!session.Begin(s.ComPortNumber, s.BaudRate, PortAddressOption(in.options)))
        return LinkExitCode(false, in.breakSignal.Interrupted());

    // The pauses of the readouts between the same requests.
    RecorderState state;
    bool read = session.Requests.ReadIdentification(session.Ident);
    if (read) {
        for (const QString& line : KranLines(session.Ident))
            in.console.Out(line);
        session.Link.WaitTicks(5);
        read = session.Requests.ReadClock(session.Clock);
    }
    if (read) {
        in.console.Out(QStringLiteral("Время регистратора: ") + session.Clock);
        session.Link.WaitTicks(5);
        read = session.Requests.ReadLastSlot(LastEventSlot, EventLength, state.eventsWrapped) ==
               LinkOk;
        if (read) {
            session.Link.WaitTicks(1);
            read =
                session.Requests.ReadLastSlot(LastSumSlot, SumLength, state.sumsWrapped) == LinkOk;
        }
        if (!read)
            session.Messages().inform(MessageIcon::Error,
                                      QStringLiteral("Не удалось прочитать последнюю запись"));
    }
    if (read) {
        session.Link.WaitTicks(1);
        read = session.Requests.ReadPointerBlock() == LinkOk;
        if (!read)
            session.Messages().inform(MessageIcon::Error,
                                      QStringLiteral("Не удалось прочитать адрес"));
        state.eventPointer = session.Requests.EventPointer();
        state.sumPointer = session.Requests.SumPointer();
    }
    session.End();
    if (!read)
        return LinkExitCode(false, in.breakSignal.Interrupted());

    const bool eventsShown = PrintMemory(
        in.console, QStringLiteral("Указатель событий: "), QStringLiteral("Записей событий: "),
        QStringLiteral("Память событий переполнена: "), state.eventPointer,
        ValidEventPointer(state.eventPointer), state.eventsWrapped, EventRecordCount);
    const bool sumsShown = PrintMemory(
        in.console, QStringLiteral("Указатель сумматора: "), QStringLiteral("Записей сумматора: "),
        QStringLiteral("Память сумматора переполнена: "), state.sumPointer,
        ValidSumPointer(state.sumPointer), state.sumsWrapped, SumRecordCount);
    return LinkExitCode(eventsShown && sumsShown, in.breakSignal.Interrupted());
}
