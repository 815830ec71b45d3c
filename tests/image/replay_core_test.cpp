// A replay in a program without widgets (a core application, as a bench or a
// service would run it): the readout's files and its summary page, without
// the charts.

#include "image/image_file.h"
#include "image/replay.h"
#include "simulator/recorder_sim.h"
#include "tests/support/answering_gateway.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(ReplayCore, WritesTheFilesAndTheSummaryPageWithoutCharts) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    RecorderSimulator sim;
    GenerateOptions options;
    options.events = 50;
    options.sums = 30;
    sim.Generate(options);
    const QString path = dir.filePath("recorder.img");
    ASSERT_TRUE(sim.SaveImage(path));
    MemoryImage image;
    ASSERT_TRUE(LoadMemoryImageFile(path, image).ok);

    for (const ReplayKind kind : {ReplayKind::Events, ReplayKind::Summator}) {
        EXPECT_TRUE(ImageHoldsMemory(image, kind));
        const QString out = dir.filePath(kind == ReplayKind::Events ? "events" : "sums");
        QuietReadoutHost quiet;
        AnsweringGateway messages;
        const ReplayResult result =
            ReplayReadout(image, kind, ReplaySettings{}, out, quiet, messages);
        EXPECT_EQ(result.status, ReplayStatus::Done);
        EXPECT_FALSE(result.firstMissing);
        const QString page = QString::fromUtf8(ReadAll(QDir(out).filePath("index.html")));
        EXPECT_TRUE(page.contains("Диаграмма не построена: нет графической среды."))
            << page.left(2000).toStdString();
    }
}

} // namespace
