// The report template "Dot_n.dot", which users replace with their own form:
// any bytes. The report either refuses with a message or produces a document;
// it never crashes or hangs, and the document grows only by what was filled in.
// A template the reader takes is written back byte for byte.

#include "fuzz/fuzz_support.h"
#include "summator/word_report.h"
#include "summator/word_rtf.h"
#include "summator/word_rtf_app.h"

#include <QDir>
#include <QFile>

#include <cstdlib>

namespace {

// A readout's rows: enough to fill the table to its limit and a few more.
const SumRows& Rows() {
    static const SumRows rows = [] {
        SumRows r;
        for (int i = 1; i <= 60; ++i)
            (void)r.Add({QStringLiteral("08.12.2026"), QStringLiteral("05:30"),
                         QString::number(1000 - i), QStringLiteral("123"), QString::number(i),
                         QStringLiteral("12"), QStringLiteral("34")});
        return r;
    }();
    return rows;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QString folder = EnterScratchFolder();
    const QByteArray bytes = Bytes(data, size);

    RtfDocument doc;
    QString why;
    if (doc.Parse(bytes, &why)) {
        if (doc.Serialize() != bytes)
            std::abort();
    } else if (why.isEmpty()) {
        std::abort(); // a refusal must say why
    }

    {
        QFile file(QDir(folder).filePath(WordTemplateName));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size())
            std::abort();
    }
    QFile::remove(QDir(folder).filePath(WordReportName));

    QuietGateway messages;
    RtfWordApplication word([](const QString&) {});
    const bool made = MakeWordReport(word, Rows(), folder, messages);
    if (made == (messages.shown != 0))
        std::abort(); // a report, or a message: exactly one of them
    if (made) {
        // 51 rows of five short texts and the five values: a few KiB of RTF
        // per row copied, never more than the rows' copies of the template.
        const qint64 report = QFileInfo(QDir(folder).filePath(WordReportName)).size();
        if (report <= 0 || report > (bytes.size() + 64) * (WordReportMaxRows + 2) + 65536)
            std::abort();
    }
    return 0;
}
