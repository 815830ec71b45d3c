#include "readout/ident_block.h"
#include "summator/report_file.h"
#include "summator_records.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace {

// An unprogrammed recorder, except for field 1.1.
IdentData TestIdent() {
    IdentData ident;
    ident.fill(0xFF);
    QStringEncoder encoder("windows-1251");
    const QByteArray type = encoder(QStringLiteral("АБВ-1234"));
    std::copy(type.begin(), type.end(), ident.begin());
    ident[8] = 0x00;
    return ident;
}

// Reads a file back and splits it at CR LF. Fails the test on a bare CR or
// LF or a missing end of the last line.
QStringList ReadReportLines(const QString& path, QByteArray* raw = nullptr) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return {};
    }
    const QByteArray bytes = file.readAll();
    if (raw != nullptr)
        *raw = bytes;
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    QList<QByteArray> parts = bytes.split('\n');
    parts.removeLast(); // after the final line end
    QStringList lines;
    QStringDecoder decoder("windows-1251");
    for (QByteArray part : parts) {
        EXPECT_TRUE(part.endsWith('\r')) << "bare LF before line " << lines.size() + 1;
        part.chop(1);
        EXPECT_FALSE(part.contains('\r')) << "bare CR in line " << lines.size() + 1;
        lines << decoder(part);
    }
    return lines;
}

// Writes a report into a fresh file and reads it back.
QStringList WriteAndRead(const QTemporaryDir& dir, const ReportInput& input,
                         QByteArray* raw = nullptr) {
    const QString path = dir.filePath(ReportFileName);
    TextFile file;
    EXPECT_TRUE(file.Create(path));
    EXPECT_TRUE(RepoPrint(file, input));
    EXPECT_TRUE(file.Close());
    return ReadReportLines(path, raw);
}

// The five cycles of the weight example, newest first: three of 40 t, two of
// 10 t; the newest carries the totals.
std::vector<SumFields> WeightExampleRecords() {
    return {
        {15, 3, 9, 10, 5, 300, 4500, 120, 40, 10},  {14, 3, 9, 9, 30, 298, 4460, 119, 10, 5},
        {13, 3, 9, 16, 45, 296, 4450, 118, 40, 12}, {12, 3, 9, 8, 15, 294, 4410, 117, 40, 8},
        {11, 3, 9, 7, 0, 292, 4370, 116, 10, 3},
    };
}

} // namespace

TEST(ReportFile, WeightModeExampleLineForLine) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const IdentData ident = TestIdent();
    LoadSpectrum spectrum;
    for (const SumFields& f : WeightExampleRecords()) {
        const SumReply reply = MakeSumReply(f);
        ASSERT_EQ(spectrum.Rating(reply, RatingBasis::Weight, 50), RatingOutcome::Rated);
    }
    const ReportInput input{ident,
                            spectrum,
                            QStringLiteral("15.03.2009 11:20"),
                            QStringLiteral("01.02.2009 08:00"),
                            RatingBasis::Weight,
                            50};

    QByteArray raw;
    const QStringList lines = WriteAndRead(dir, input, &raw);

    QStringList expected = KranLines(ident);
    ASSERT_EQ(expected.size(), 21);
    expected << QStringLiteral("15.03.2009 11:20")
             << QStringLiteral("Всего с 01.02.2009 08:00 - 120 циклов")
             << QStringLiteral("Суммарный вес - 4500 тонн") << QStringLiteral("100% вес = 50")
             << QString() << QString()
             << QStringLiteral("\tДата\tВремя\tВес, тонн\tЦиклов c 11.03.2009 07:00")
             << QStringLiteral(">100%\t\t\t0\t0")
             << QStringLiteral("<100%\t15.03.2009\t10:05\t40\t3")
             << QStringLiteral("<75%\t\t\t0\t0") << QStringLiteral("<50%\t\t\t0\t0")
             << QStringLiteral("<25%\t14.03.2009\t09:30\t10\t2") << QString() << QString()
             << QStringLiteral("№\tДата\tВремя\tВес, тонн")
             << QStringLiteral("1\t15.03.2009\t10:05\t40\t<100%")
             << QStringLiteral("2\t14.03.2009\t09:30\t10\t<25%")
             << QStringLiteral("3\t13.03.2009\t16:45\t40\t<100%")
             << QStringLiteral("4\t12.03.2009\t08:15\t40\t<100%")
             << QStringLiteral("5\t11.03.2009\t07:00\t10\t<25%");
    for (int i = 0; i < 5; ++i)
        expected << QStringLiteral("0\t\t\t0\t");

    ASSERT_EQ(lines.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;

    // The identification heads the report as in every other file.
    EXPECT_EQ(lines[1],
              QStringLiteral("1.1)\tТип и индекс\tАБВ-1234") + QString(12, QLatin1Char(' ')));
    EXPECT_EQ(lines[2], QStringLiteral("1.2)\tЗаводской номер\t") + QString(20, QLatin1Char(' ')));

    // Code page 1251 on disk: "№" is one byte B9, the "c" after "Циклов" is
    // the Latin 63, and no UTF-8 lead byte D0/D1 pair shows up.
    EXPECT_TRUE(raw.contains(QByteArray("\xB9\t\xC4\xE0\xF2\xE0\t")));
    EXPECT_TRUE(raw.contains(QByteArray("\xD6\xE8\xEA\xEB\xEE\xE2 c 11.03.2009 07:00\r\n")));
    EXPECT_FALSE(raw.contains(QByteArray("\xD0\xA6")));
}

TEST(ReportFile, MomentModeColumnsAndZeroLines) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    IdentData ident;
    ident.fill(0x00);
    LoadSpectrum spectrum;
    SumFields f = Cycle(30, 20); // 600 of 800: "<100%"
    f.day = 7;
    f.month = 3;
    f.hour = 14;
    f.minute = 25;
    f.totalWeight = 500;
    f.cycles = 1000;
    const SumReply reply = MakeSumReply(f);
    ASSERT_EQ(spectrum.Rating(reply, RatingBasis::Moment, 800), RatingOutcome::Rated);

    const ReportInput input{ident,
                            spectrum,
                            QStringLiteral("08.03.2009 09:00"),
                            QStringLiteral("01.01.2009 00:00"),
                            RatingBasis::Moment,
                            800};
    const QStringList lines = WriteAndRead(dir, input);
    ASSERT_EQ(lines.size(), 46);

    const QStringList tail = lines.mid(21);
    const QStringList expected = {
        QStringLiteral("08.03.2009 09:00"),
        QStringLiteral("Всего с 01.01.2009 00:00 - 1000 циклов"),
        QStringLiteral("Суммарный вес - 500 тонн"),
        QStringLiteral("100% момент = 800"),
        QString(),
        QString(),
        QStringLiteral(
            "\tДата\tВремя\tВес, тонн\tВылет, метров\tМомент\tЦиклов c 07.03.2009 14:25"),
        QStringLiteral(">100%\t\t\t0\t0\t0\t0"),
        QStringLiteral("<100%\t07.03.2009\t14:25\t30\t20\t600\t1"),
        QStringLiteral("<75%\t\t\t0\t0\t0\t0"),
        QStringLiteral("<50%\t\t\t0\t0\t0\t0"),
        QStringLiteral("<25%\t\t\t0\t0\t0\t0"),
        QString(),
        QString(),
        QStringLiteral("№\tДата\tВремя\tВес, тонн\tВылет, метров\tМомент"),
        QStringLiteral("1\t07.03.2009\t14:25\t30\t20\t600\t<100%"),
    };
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_EQ(tail[i], expected[i]) << "line " << 22 + i;
    for (int i = expected.size(); i < tail.size(); ++i)
        EXPECT_EQ(tail[i], QStringLiteral("0\t\t\t0\t0\t0\t")) << "line " << 22 + i;
}

TEST(ReportFile, NoCycleAtAllGivesOnlyZeroLines) {
    const IdentData ident{};
    LoadSpectrum spectrum;
    SumFields none;
    none.cycles = 4;
    none.totalWeight = 0;
    const SumReply reply = MakeSumReply(none);
    ASSERT_EQ(spectrum.Rating(reply, RatingBasis::Weight, 50), RatingOutcome::NotCycle);

    for (RatingBasis basis : {RatingBasis::Weight, RatingBasis::Moment}) {
        const bool byMoment = basis == RatingBasis::Moment;
        const ReportInput input{ident, spectrum, QString(), QString(), basis, 0};
        const QStringList lines = ReportLines(input);
        ASSERT_EQ(lines.size(), 46);
        EXPECT_EQ(lines[22], QStringLiteral("Всего с  - 4 циклов"));
        EXPECT_EQ(lines[24],
                  byMoment ? QStringLiteral("100% момент = 0") : QStringLiteral("100% вес = 0"));
        // Nothing rated: the "since" cell stays empty.
        EXPECT_TRUE(lines[27].endsWith(QStringLiteral("Циклов c ")));
        const QString zeros =
            byMoment ? QStringLiteral("\t\t\t0\t0\t0\t0") : QStringLiteral("\t\t\t0\t0");
        for (int i = 0; i < LoadClassCount; ++i)
            EXPECT_EQ(lines[28 + i],
                      QLatin1String(LoadClassLabels[static_cast<std::size_t>(i)]) + zeros);
        const QString empty =
            byMoment ? QStringLiteral("0\t\t\t0\t0\t0\t") : QStringLiteral("0\t\t\t0\t");
        for (int i = 36; i < 46; ++i)
            EXPECT_EQ(lines[i], empty) << "line " << i + 1;
    }
}

TEST(ReportFile, WriteFailureIsReportedWithTheFileName) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const IdentData ident{};
    const LoadSpectrum spectrum;
    const ReportInput input{ident, spectrum, QString(), QString(), RatingBasis::Moment, 800};

    // A file that could not be created takes no line.
    const QString path = dir.filePath(QStringLiteral("missing/report.xls"));
    TextFile file;
    ASSERT_FALSE(file.Create(path));
    EXPECT_FALSE(RepoPrint(file, input));
    EXPECT_EQ(ReportWriteErrorText(file.Name()), QStringLiteral("Ошибка записи в файл ") + path);

    // Closed before the report: nothing reaches the disk either.
    const QString closedPath = dir.filePath(ReportFileName);
    TextFile closed;
    ASSERT_TRUE(closed.Create(closedPath));
    ASSERT_TRUE(closed.Close());
    EXPECT_FALSE(RepoPrint(closed, input));
    EXPECT_EQ(QFile(closedPath).size(), 0);
}
