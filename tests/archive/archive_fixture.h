#pragma once

// Readouts against the archive, each in a run folder of its own at the same
// recorder time, and what they left behind.

#include "archive/crane_archive.h"
#include "readout/event_readout.h"
#include "summator/sum_readout.h"
#include "tests/readout/readout_fixture.h"

#include <QDirIterator>

#include <map>
#include <optional>

const QDateTime StartedAt(QDate(2026, 12, 7), QTime(9, 5));
const QDateTime RecorderTime(QDate(2026, 12, 7), QTime(9, 4));
constexpr OutputChoice AllFiles{true, true, true};

// What a readout left behind: its files, its log and its record reads.
struct Outcome {
    std::map<QString, QByteArray> files;
    QStringList log;
    int recordReads = 0;
};

class SinceLastTest : public ReadoutTest {
protected:
    enum class Archive { None, Add, Take };

    void SetUp() override {
        ReadoutTest::SetUp();
        ASSERT_TRUE(archiveDir.isValid());
        archivePath = archiveDir.path();
        GenerateOptions options;
        options.events = 300;
        options.sums = 200;
        options.seed = 7;
        sim.Generate(options);
    }

    // A readout in a run folder of its own, at the same recorder time.
    Outcome readEvents(Archive use) { return readOut(use, true); }
    Outcome readSums(Archive use) { return readOut(use, false); }

    Outcome readOut(Archive use, bool events) {
        const QString folder = run.filePath(QString::number(++runs));
        EXPECT_TRUE(QDir().mkpath(folder));
        QDir::setCurrent(folder);
        recorder->SetClock(RecorderTime);
        recorder->ClearRequests();
        std::optional<CraneArchive> archive;
        if (use != Archive::None)
            archive.emplace(link, 1, archivePath);
        const ArchiveUse archiveUse{archive ? &*archive : nullptr, use == Archive::Take};
        if (events) {
            EventReadout readout(host, requests, breakRequested, messages, pager, texts, ident);
            readout.SetArchive(archiveUse);
            readout.Run(AllFiles, true, StartedAt);
            readout.Finish();
        } else {
            SumReadout readout(host, requests, breakRequested, messages, pager, ident);
            readout.SetArchive(archiveUse);
            readout.Run({AllFiles, RatingBasis::Moment, 800}, StartedAt);
            readout.Finish();
        }
        Outcome outcome;
        for (QDirIterator it(folder, QDir::Files); it.hasNext();) {
            QFile file(it.next());
            EXPECT_TRUE(file.open(QIODevice::ReadOnly));
            outcome.files[it.fileName()] = file.readAll();
        }
        outcome.log = fileLines(QStringLiteral("zorvlog.txt"));
        outcome.recordReads = recordReadCount();
        return outcome;
    }

    // The incremental readout wrote what the full one writes, and told so
    // in one more log line (none: it had nothing to take from).
    static void expectSameFiles(const Outcome& incremental, const Outcome& full,
                                const std::optional<QString>& countLine) {
        ASSERT_FALSE(full.files.empty());
        for (const auto& [name, bytes] : full.files) {
            if (name == QStringLiteral("zorvlog.txt"))
                continue;
            ASSERT_EQ(incremental.files.count(name), 1u) << qPrintable(name);
            EXPECT_TRUE(incremental.files.at(name) == bytes) << qPrintable(name);
        }
        EXPECT_EQ(incremental.files.size(), full.files.size());
        EXPECT_EQ(incremental.log.join(QLatin1Char('\n')).toStdString(),
                  (countLine ? full.log + QStringList{*countLine} : full.log)
                      .join(QLatin1Char('\n'))
                      .toStdString());
    }

    static QString counts(int line, int archived) {
        return QStringLiteral("Записей прочитано с линии %1, взято из архива %2")
            .arg(line)
            .arg(archived);
    }

    // The record reads the recorder now on the line saw: the memory reads
    // after the pointer block.
    int recordReadCount() const {
        int reads = 0;
        bool pointerRead = false;
        for (const auto& r : recorder->Requests()) {
            if (r.command == 4 && r.selector == 6)
                pointerRead = true;
            else if (pointerRead && r.command == 4 && r.selector == 4)
                ++reads;
        }
        return reads;
    }

    QTemporaryDir archiveDir;
    QString archivePath;
    const MessageTexts texts = MessageTexts::Defaults();
    int runs = 0;
    // The recorder on the line.
    RecorderSimulator* recorder = &sim;
};
