// The memory image: what it keeps, its file, and the recording as it goes.

#include "image/image_file.h"
#include "image/image_recorder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <tuple>
#include <vector>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

QByteArray bytes(const char* hex) {
    return QByteArray::fromHex(hex);
}

void record(MemoryImage& image, std::uint8_t selector, std::uint32_t address,
            const QByteArray& data, ReadOrigin origin = {}) {
    image.Record(selector, address, reinterpret_cast<const std::uint8_t*>(data.constData()),
                 int(data.size()), origin);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

// One block chunk of a single byte, as a crafted file may hold any number of.
QByteArray oneByteChunk(std::uint8_t selector, std::uint32_t address) {
    QByteArray out;
    const std::uint8_t data = 0x5A;
    ImageFormat::AppendBlock(out, selector, address, &data, 1, {});
    return out;
}

// Bytes the heap hands out now; -1 where that cannot be told.
qint64 heapInUse() {
#ifdef __GLIBC__
    return static_cast<qint64>(mallinfo2().uordblks);
#else
    return -1;
#endif
}

} // namespace

TEST(MemoryImage, TellsBlankFromNeverReadAndAnswersOnlyWhatWasRead) {
    MemoryImage image;
    record(image, 4, 0xFFFEC, QByteArray(11, '\xFF'), {1000, 3}); // a blank slot
    record(image, 7, 0, bytes("3112071226"), {2000, 3});
    record(image, 4, 0x3000B, bytes("0714251209050C01008041"), {3000, 4});

    EXPECT_TRUE(image.IsRead(4, 0xFFFEC, 11));
    EXPECT_EQ(image.Bytes(4, 0xFFFEC, 11), QByteArray(11, '\xFF'));
    EXPECT_FALSE(image.IsRead(4, 0x30000, 11)); // never read, not blank
    EXPECT_FALSE(image.IsRead(4, 0x3000B, 12)); // one byte past the record
    EXPECT_FALSE(image.IsRead(3, 0xFFFEC, 1));  // another selector
    ASSERT_TRUE(image.Origin(4, 0x3000B + 10));
    EXPECT_EQ(*image.Origin(4, 0x3000B + 10), (ReadOrigin{3000, 4}));
    EXPECT_EQ(*image.Origin(7, 0), (ReadOrigin{2000, 3}));

    std::uint8_t data[16] = {};
    EXPECT_EQ(image.AnswerRead(0x30000, 11, 4, data), MemoryImage::SilentRecorder);
    EXPECT_EQ(image.AnswerRead(0, 5, 7, data), 0);
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(data), 5), bytes("3112071226"));

    // A later read of the same bytes wins.
    record(image, 7, 0, bytes("3212071226"), {4000, 3});
    EXPECT_EQ(image.Bytes(7, 0, 5), bytes("3212071226"));
}

TEST(ImageFile, SavedImageLoadsWithEveryByteAndOrigin) {
    MemoryImage image;
    record(image, 3, 1538, QByteArray(10, 'x'), {1, 2});
    record(image, 4, 0x2FFF0, QByteArray(16, '\xFF'), {-5, 255});
    // A run longer than one chunk takes several.
    record(image, 4, 0x30000, QByteArray(70000, '\x11'), {1234567890123, 9});
    const QByteArray file = ImageFormat::Serialize(image);
    MemoryImage loaded;
    const ImageLoad load = LoadMemoryImage(file, loaded);
    ASSERT_TRUE(load.ok) << load.error.toStdString();
    EXPECT_FALSE(load.tornTail);
    EXPECT_EQ(load.completeSize, file.size());
    EXPECT_EQ(loaded.Bytes(3, 1538, 10), QByteArray(10, 'x'));
    EXPECT_EQ(loaded.Bytes(4, 0x2FFF0, 16), QByteArray(16, '\xFF'));
    EXPECT_EQ(loaded.Bytes(4, 0x30000, 70000), QByteArray(70000, '\x11'));
    EXPECT_FALSE(loaded.IsRead(4, 0x2FFF0 - 1, 1));
    EXPECT_FALSE(loaded.IsRead(4, 0x30000 + 70000, 1));
    EXPECT_EQ(*loaded.Origin(4, 0x30000 + 69999), (ReadOrigin{1234567890123, 9}));
    EXPECT_EQ(*loaded.Origin(4, 0x2FFF0), (ReadOrigin{-5, 255}));
    EXPECT_EQ(ImageFormat::Serialize(loaded), file);
}

TEST(ImageFile, ForeignDamagedAndNewerFilesAreRefusedWithTheProblemNamed) {
    MemoryImage image;
    record(image, 7, 0, bytes("3112071226"));
    record(image, 6, 0, bytes("0003000B0001FFF0"));
    const QByteArray good = ImageFormat::Serialize(image);
    const int firstChunk = ImageFormat::HeaderSize;

    QByteArray newer = good;
    newer[8] = 2;
    QByteArray damagedData = good; // a data byte of the first of two chunks
    damagedData[firstChunk + ImageFormat::ChunkHead + ImageFormat::BlockPayloadHead] ^= 0x01;
    QByteArray damagedLength = good; // the first chunk claims to run past the file
    damagedLength[firstChunk + 2] = char(0x7F);
    QByteArray emptyBlock = ImageFormat::Header();
    ImageFormat::AppendBlock(emptyBlock, 4, 0, nullptr, 0, ReadOrigin{});
    const struct {
        QByteArray file;
        const char* problem;
    } cases[] = {
        {QByteArray("ZORVAN settings\r\n"), "not a recorder memory image"},
        {QByteArray(), "not a recorder memory image"},
        {newer, "version 2"},
        {damagedData, "fails its checksum"},
        {damagedLength, "chunk header"},
        {good.left(firstChunk) + QByteArray("Xyz\x01", 4) + good.mid(firstChunk + 4),
         "chunk header"},
        {emptyBlock, "without data"},
    };
    for (const auto& c : cases) {
        MemoryImage loaded;
        record(loaded, 4, 0, bytes("01"));
        const ImageLoad load = LoadMemoryImage(c.file, loaded);
        EXPECT_FALSE(load.ok) << c.problem;
        EXPECT_TRUE(load.error.contains(QLatin1String(c.problem))) << load.error.toStdString();
        EXPECT_TRUE(loaded.Empty());
    }
}

TEST(ImageFile, AnIncompleteLastChunkIsLeftOutAndTheRestLoads) {
    MemoryImage image;
    record(image, 7, 0, bytes("3112071226"));
    record(image, 6, 0, bytes("0003000B0001FFF0"));
    const QByteArray good = ImageFormat::Serialize(image);
    const qsizetype lastChunk =
        good.size() - (ImageFormat::ChunkOverhead + ImageFormat::BlockPayloadHead + 5);
    for (const QByteArray& file : {good.left(good.size() - 1), good.left(lastChunk + 2),
                                   good.left(lastChunk) + QByteArray(40, '\0')}) {
        MemoryImage loaded;
        const ImageLoad load = LoadMemoryImage(file, loaded);
        ASSERT_TRUE(load.ok) << load.error.toStdString();
        EXPECT_TRUE(load.tornTail);
        EXPECT_EQ(load.completeSize, lastChunk);
        EXPECT_TRUE(loaded.IsRead(6, 0, 8));
        EXPECT_FALSE(loaded.IsRead(7, 0, 1));
    }
    // Zeros followed by more chunks are damage, not a cut tail.
    MemoryImage loaded;
    const int header = ImageFormat::HeaderSize;
    EXPECT_FALSE(
        LoadMemoryImage(good.left(header) + QByteArray(8, '\0') + good.mid(header), loaded).ok);
}

TEST(ImageRecorder, RecordsEachBlockAsItComesAndGoesOnAfterACrash) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(ImageRecorder::FileName);
    std::int64_t now = 1000;
    ImageRecorder recorder([&now] { return now++; });
    ASSERT_TRUE(recorder.Open(path, 3));
    const QByteArray clock = bytes("3112071226");
    recorder.BlockRead(0, 7, reinterpret_cast<const std::uint8_t*>(clock.constData()), 5);
    // On disk at once, without closing: a crash now keeps it.
    MemoryImage seen;
    ASSERT_TRUE(LoadMemoryImageFile(path, seen).ok);
    EXPECT_EQ(seen.Bytes(7, 0, 5), clock);
    EXPECT_EQ(*seen.Origin(7, 0), (ReadOrigin{1000, 3}));

    // A crash cut the next chunk short.
    const QByteArray record = bytes("0714251209050C01008041");
    recorder.BlockRead(0x3000B, 4, reinterpret_cast<const std::uint8_t*>(record.constData()), 11);
    recorder.Close();
    ASSERT_TRUE(QFile::resize(path, QFileInfo(path).size() - 3));

    // The next readout of the run goes on in the same file.
    ImageRecorder second([&now] { return now++; });
    ASSERT_TRUE(second.Open(path, 4));
    second.BlockRead(0x30000, 4, reinterpret_cast<const std::uint8_t*>(record.constData()), 11);
    second.Close();
    MemoryImage loaded;
    const ImageLoad load = LoadMemoryImageFile(path, loaded);
    ASSERT_TRUE(load.ok) << load.error.toStdString();
    EXPECT_FALSE(load.tornTail);
    EXPECT_EQ(loaded.Bytes(7, 0, 5), clock);
    EXPECT_FALSE(loaded.IsRead(4, 0x3000B, 1));
    EXPECT_EQ(loaded.Bytes(4, 0x30000, 11), record);
    EXPECT_EQ(loaded.Origin(4, 0x30000)->comPort, 4);
}

TEST(ImageRecorder, LeavesAFileThatIsNoImageAloneAndRecordsNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath(ImageRecorder::FileName);
    writeFile(path, "not an image at all");
    ImageRecorder recorder;
    EXPECT_FALSE(recorder.Open(path, 1));
    EXPECT_TRUE(recorder.Error().contains(QLatin1String("not a recorder memory image")));
    const std::uint8_t b = 0;
    recorder.BlockRead(0, 7, &b, 1);
    EXPECT_EQ(readFile(path), QByteArray("not an image at all"));
    EXPECT_FALSE(recorder.Open(dir.filePath("no/such/folder/recorder.img"), 1));
    EXPECT_FALSE(recorder.Recording());
}

TEST(ImageFile, KeepsOnlyTheRecordersAreas) {
    QByteArray file = ImageFormat::Header();
    ImageFormat::AppendBlock(file, 3, 1536, reinterpret_cast<const std::uint8_t*>("abcdef"), 6, {});
    file += oneByteChunk(9, 0x30000);  // no such selector
    file += oneByteChunk(4, 0x200);    // between the current records and the memory
    file += oneByteChunk(4, 0x100000); // past the event memory
    file += oneByteChunk(7, 5);        // past the clock
    file += oneByteChunk(4, 0xFFFFF);  // the last byte of the event memory
    file += oneByteChunk(5, 29);       // the erase time
    MemoryImage image;
    const ImageLoad load = LoadMemoryImage(file, image);
    ASSERT_TRUE(load.ok) << load.error.toStdString();
    EXPECT_EQ(image.BlockCount(), 3);
    std::vector<std::tuple<int, std::uint32_t, QByteArray>> runs;
    for (const MemoryImage::Run& run : image.Runs())
        runs.emplace_back(run.selector, run.address, run.bytes);
    EXPECT_EQ(runs, (std::vector<std::tuple<int, std::uint32_t, QByteArray>>{
                        {3, 1538, "cdef"}, {4, 0xFFFFF, "Z"}, {5, 29, "Z"}}));
    std::uint8_t data[4] = {};
    EXPECT_EQ(image.AnswerRead(1536, 4, 3, data), MemoryImage::SilentRecorder);
    EXPECT_EQ(image.AnswerRead(1538, 4, 3, data), 0);
}

// A crafted file of one-byte chunks, each on a page of its own, may not make
// the image many times the size of the file.
TEST(ImageFile, MemoryFollowsWhatTheFileHolds) {
    if (heapInUse() < 0)
        GTEST_SKIP() << "the heap cannot be measured here";
    // About 5 MB across every selector and the whole address space.
    QByteArray scattered = ImageFormat::Header();
    for (std::uint32_t i = 0; scattered.size() < 5'000'000; ++i)
        scattered += oneByteChunk(static_cast<std::uint8_t>(i % 8), (i / 8 * 256 + i) & 0xFFFFFF);
    // One byte in every 256 of the memory areas: each its own page when
    // pages are large.
    QByteArray sparse = ImageFormat::Header();
    for (std::uint32_t a = RecorderMap::SumStart; a < RecorderMap::EventEnd; a += 256)
        sparse += oneByteChunk(RecorderMap::MemorySelector, a);

    for (const QByteArray* file : {&scattered, &sparse}) {
        const qint64 before = heapInUse();
        MemoryImage image;
        ASSERT_TRUE(LoadMemoryImage(*file, image).ok);
        const qint64 grown = heapInUse() - before;
        EXPECT_LT(grown, 10 * file->size()) << file->size() << " bytes of file";
        EXPECT_GT(image.BlockCount(), 0);
    }
}

TEST(ImageFile, AHeaderAloneIsAnEmptyImageAndAShorterFileNone) {
    // What a readout leaves that ended before its first block.
    const QByteArray header = ImageFormat::Header();
    ASSERT_EQ(header.size(), ImageFormat::HeaderSize);
    MemoryImage image;
    const ImageLoad load = LoadMemoryImage(header, image);
    EXPECT_TRUE(load.ok) << load.error.toStdString();
    EXPECT_EQ(load.completeSize, header.size());
    EXPECT_EQ(image.BlockCount(), 0);
    EXPECT_FALSE(LoadMemoryImage(header.chopped(1), image).ok);
}
