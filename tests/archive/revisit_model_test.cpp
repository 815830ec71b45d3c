// Randomized revisits: sequences of full, cut and incremental readouts,
// erases, new records, a wrapped summator and a second crane with the same
// identification, played against two simulated recorders and one archive.
// Every incremental readout must write the files of a full readout of the
// same memory at the same moment; and where nothing could have spoilt the
// archive (the last readout of that memory was this crane's, read whole,
// with only new records since) it must take from the archive.

#include "tests/archive/archive_fixture.h"

#include <QRegularExpression>

#include <array>
#include <cstdio>
#include <functional>
#include <random>

// The suite plays a few dozen sequences without wrapping the summator (a
// wrapped summator is 8,192 records a readout; a test of its own covers it);
// the benchmark program plays many, wraps included.
#ifndef ZORVAN_REVISIT_SEQUENCES
#define ZORVAN_REVISIT_SEQUENCES 24
#endif
#ifndef ZORVAN_REVISIT_WRAPS
#define ZORVAN_REVISIT_WRAPS 0
#endif

namespace {

constexpr int SumSlots = 8192;

// Three shards of the sequences, so that CTest runs them side by side: the
// readouts mostly wait for the line.
constexpr int Shards = 3;

class RevisitModelTest : public SinceLastTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        SinceLastTest::SetUp();
        ASSERT_TRUE(twin.Start());
        ASSERT_TRUE(QFile::link(twin.DevicePath(), ports.filePath(QStringLiteral("twin"))));
    }

    void TearDown() override {
        twin.Stop();
        SinceLastTest::TearDown();
    }

    // Puts crane 0 (sim) or 1 (its twin) on the line.
    void putOnLine(int crane) {
        RecorderSimulator& next = crane == 0 ? sim : twin;
        if (recorder == &next)
            return;
        ASSERT_TRUE(port.SetOpen(false));
        const QString com1 = ports.filePath(QStringLiteral("com1"));
        ASSERT_TRUE(QFile::remove(com1));
        ASSERT_TRUE(QFile::link(next.DevicePath(), com1));
        ASSERT_TRUE(port.SetOpen(true)) << qPrintable(port.LastError());
        recorder = &next;
    }

    // How many records of a memory the archive took, from the walk's log line.
    static int takenFromArchive(const Outcome& outcome) {
        static const QRegularExpression counts(
            QStringLiteral("^Записей прочитано с линии \\d+, взято из архива (\\d+)$"));
        const QRegularExpressionMatch match =
            outcome.log.isEmpty() ? QRegularExpressionMatch() : counts.match(outcome.log.last());
        return match.hasMatch() ? match.captured(1).toInt() : 0;
    }

    // At twenty times the line's speed a busy machine may miss a command's
    // late acknowledgement; what counts is that the recorder did it.
    bool command(std::uint8_t code, const std::function<bool()>& done) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            (void)requests.SendCommand(code);
            if (done())
                return true;
        }
        return false;
    }

    RecorderSimulator twin;
};

// What the model knows of one memory of one crane, and of the archive's
// last walk of each memory (both cranes share one key).
struct MemoryModel {
    int records = 0;
    bool spoilt = false; // erased or written round since the archive's last walk
};
struct LastWalk {
    bool whole = false;
    int crane = -1;
    int records = 0;
};

TEST_P(RevisitModelTest, EveryIncrementalReadoutWritesTheFilesOfAFullOne) {
    const int sequences = qEnvironmentVariableIsSet("ZORVAN_REVISIT_SEQUENCES")
                              ? qEnvironmentVariableIntValue("ZORVAN_REVISIT_SEQUENCES")
                              : ZORVAN_REVISIT_SEQUENCES;
    const std::uint32_t firstSeed =
        qEnvironmentVariableIsSet("ZORVAN_REVISIT_SEED")
            ? std::uint32_t(qEnvironmentVariableIntValue("ZORVAN_REVISIT_SEED"))
            : 1;
    int incremental = 0;
    int tookFromArchive = 0;
    int played = 0;
    for (std::uint32_t seed = firstSeed + std::uint32_t(GetParam());
         seed < firstSeed + std::uint32_t(sequences); seed += Shards) {
        ++played;
        std::mt19937 rng(seed);
        const auto below = [&rng](int n) { return int(rng() % std::uint32_t(n)); };
        QTemporaryDir archive;
        ASSERT_TRUE(archive.isValid());
        archivePath = archive.path();
        std::array<std::array<MemoryModel, 2>, 2> cranes{};
        std::array<LastWalk, 2> lastWalk{};
        for (int crane = 0; crane < 2; ++crane) {
            GenerateOptions options;
            options.events = 10 + below(50);
            options.sums = 10 + below(40);
            options.seed = seed * 2 + std::uint32_t(crane);
            options.identSeed = seed * 2;
            (crane == 0 ? sim : twin).Generate(options);
            cranes[std::size_t(crane)] = {MemoryModel{options.events, false},
                                          MemoryModel{options.sums, false}};
        }
        int onLine = 0;
        putOnLine(0);
        QString steps;
        for (int step = 0; step < 10; ++step) {
            const int memory = below(2); // 0 events, 1 summator
            const bool events = memory == 0;
            MemoryModel& model = cranes[std::size_t(onLine)][std::size_t(memory)];
            LastWalk& last = lastWalk[std::size_t(memory)];
            // Wraps, when played, take the last share.
            const int action = below(ZORVAN_REVISIT_WRAPS ? 100 : 98);
            const QString name = events ? QStringLiteral("events") : QStringLiteral("sums");
            SCOPED_TRACE(qPrintable(QStringLiteral("seed %1: %2").arg(seed).arg(steps)));
            if (action < 15) {
                steps += QStringLiteral(" full-%1").arg(name);
                (void)readOut(Archive::Add, events);
                last = {true, onLine, model.records};
                model.spoilt = false;
            } else if (action < 35) {
                const int cut = 1 + below(std::max(1, model.records));
                steps += QStringLiteral(" cut-%1@%2").arg(name).arg(cut);
                int records = 0;
                host.onProgress = [&](int) { breakRequested = ++records == cut; };
                (void)readOut(below(2) ? Archive::Take : Archive::Add, events);
                host.onProgress = nullptr;
                const bool broken = breakRequested;
                breakRequested = false;
                last = {!broken, onLine, model.records};
                if (!broken)
                    model.spoilt = false;
            } else if (action < 65) {
                steps += QStringLiteral(" since-last-%1").arg(name);
                const Outcome taken = readOut(Archive::Take, events);
                const Outcome full = readOut(Archive::None, events);
                std::optional<QString> countLine;
                if (taken.log.size() == full.log.size() + 1)
                    countLine = taken.log.last();
                expectSameFiles(taken, full, countLine);
                ++incremental;
                const int taking = takenFromArchive(taken);
                if (taking > 0)
                    ++tookFromArchive;
                // Sixteen records to trust the archive, one more to take.
                if (last.whole && last.crane == onLine && !model.spoilt && last.records > 16) {
                    EXPECT_GT(taking, 0) << "an unspoilt archive was not used";
                }
                last = {true, onLine, model.records};
                model.spoilt = false;
            } else if (action < 82) {
                const int newEvents = below(70);
                const int newSums = below(50);
                steps += QStringLiteral(" new-%1/%2").arg(newEvents).arg(newSums);
                recorder->AppendHistory(newEvents, newSums, seed * 100 + std::uint32_t(step));
                cranes[std::size_t(onLine)][0].records += newEvents;
                cranes[std::size_t(onLine)][1].records += newSums;
            } else if (action < 90) {
                steps += QStringLiteral(" erase");
                ASSERT_TRUE(command(RecorderMap::EraseCommand, [this] {
                    return recorder->EventPointer() == RecorderMap::EventStart &&
                           recorder->SumPointer() == RecorderMap::SumStart;
                }));
                // The recorder notes its own erase as an event.
                cranes[std::size_t(onLine)][0] = {1, true};
                cranes[std::size_t(onLine)][1] = {0, true};
            } else if (action < 93) {
                steps += QStringLiteral(" reset-sums");
                ASSERT_TRUE(command(RecorderMap::ResetSumCommand, [this] {
                    return recorder->SumPointer() == RecorderMap::SumStart;
                }));
                cranes[std::size_t(onLine)][1] = {0, true};
            } else if (action < 98) {
                onLine = 1 - onLine;
                steps += QStringLiteral(" crane-%1").arg(onLine);
                putOnLine(onLine);
            } else {
                // Once round the summator: every record written over.
                steps += QStringLiteral(" wrap-sums");
                recorder->AppendHistory(0, SumSlots + below(40), seed * 100 + std::uint32_t(step));
                cranes[std::size_t(onLine)][1] = {SumSlots, true};
            }
            if (HasFatalFailure() || HasFailure())
                return;
        }
        // A long run tells how far it got.
        std::printf("sequence %u:%s\n", seed, qPrintable(steps));
        std::fflush(stdout);
    }
    // The sequences must reach both kinds of outcome to prove anything.
    EXPECT_GT(incremental, played);
    EXPECT_GT(tookFromArchive, 0);
    std::printf("%d sequences, %d incremental readouts, %d took from the archive\n", played,
                incremental, tookFromArchive);
}

INSTANTIATE_TEST_SUITE_P(Shard, RevisitModelTest, ::testing::Range(0, Shards));

} // namespace
