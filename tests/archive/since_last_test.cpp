// Incremental readouts against the archive: every file they write must equal
// the files of a full readout of the same recorder at the same moment.

#include "tests/archive/archive_fixture.h"

namespace {

TEST_F(SinceLastTest, NewRecordsComeFromTheLineAndTheRestFromTheArchive) {
    // Adding to the archive is no change to the readout.
    const Outcome plain = readEvents(Archive::None);
    const Outcome archived = readEvents(Archive::Add);
    EXPECT_EQ(archived.files, plain.files);
    EXPECT_EQ(archived.recordReads, 300);
    const Outcome plainSums = readSums(Archive::None);
    EXPECT_EQ(readSums(Archive::Add).files, plainSums.files);

    sim.AppendHistory(40, 30, 11);
    const Outcome events = readEvents(Archive::Take);
    // The new records and a run of sixteen that ends the line's part.
    EXPECT_EQ(events.recordReads, 40 + 16);
    const Outcome sums = readSums(Archive::Take);
    EXPECT_EQ(sums.recordReads, 30 + 16);
    expectSameFiles(events, readEvents(Archive::None), counts(56, 340 - 56));
    expectSameFiles(sums, readSums(Archive::None), counts(46, 230 - 46));

    // Nothing new: only the run is read.
    const Outcome again = readEvents(Archive::Take);
    expectSameFiles(again, readEvents(Archive::None), counts(16, 340 - 16));
}

TEST_F(SinceLastTest, ASummatorWrittenPastTheArchivedPartIsReadWhole) {
    (void)readSums(Archive::Add);
    // Once round and on: every archived record is written over.
    sim.AppendHistory(0, 8192, 12);
    const Outcome sums = readSums(Archive::Take);
    const Outcome full = readSums(Archive::None);
    EXPECT_EQ(sums.recordReads, full.recordReads);
    expectSameFiles(sums, full, counts(full.recordReads, 0));
}

TEST_F(SinceLastTest, AfterAnEraseTheMemoryIsReadWhole) {
    (void)readEvents(Archive::Add);
    (void)readSums(Archive::Add);
    ASSERT_EQ(requests.SendCommand(RecorderMap::EraseCommand), LinkOk);
    // Past the archived pointer again, with other records at its address.
    sim.AppendHistory(400, 250, 13);
    const Outcome events = readEvents(Archive::Take);
    const Outcome sums = readSums(Archive::Take);
    expectSameFiles(events, readEvents(Archive::None), counts(401, 0));
    expectSameFiles(sums, readSums(Archive::None), counts(250, 0));
}

TEST_F(SinceLastTest, AWalkCutShortAfterAnEraseVouchesForNothingBelowTheCut) {
    // The anchor: the newest of 300 records, slot 299.
    (void)readEvents(Archive::Add);
    ASSERT_EQ(requests.SendCommand(RecorderMap::EraseCommand), LinkOk);
    // Past the anchor again, then a readout broken off 200 records down, at
    // slot 250, far below the anchor: the archive holds the new history down
    // to there and the erased one below, the anchor's slot among the new.
    sim.AppendHistory(451, 0, 14);
    int records = 0;
    host.onProgress = [&](int) { breakRequested = ++records == 200; };
    (void)readEvents(Archive::Add);
    host.onProgress = nullptr;
    breakRequested = false;
    const Outcome events = readEvents(Archive::Take);
    EXPECT_EQ(events.recordReads, 1 + 451); // the erase is an event too
    expectSameFiles(events, readEvents(Archive::None), std::nullopt);
}

TEST_F(SinceLastTest, AnotherCraneWithTheSameIdentificationIsReadWhole) {
    (void)readEvents(Archive::Add);
    (void)readSums(Archive::Add);
    GenerateOptions other;
    other.events = 300;
    other.sums = 200;
    other.seed = 8;
    other.identSeed = 7;
    sim.Generate(other);
    const Outcome events = readEvents(Archive::Take);
    const Outcome sums = readSums(Archive::Take);
    expectSameFiles(events, readEvents(Archive::None), counts(300, 0));
    expectSameFiles(sums, readSums(Archive::None), counts(200, 0));
}

} // namespace
