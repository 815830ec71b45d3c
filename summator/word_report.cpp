#include "summator/word_report.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

// The selection is fetched anew before every call on it, as the word
// processor may hand out a new one after any change.
template <typename Call> bool OnSelection(WordApplication& word, Call call) {
    WordSelection* selection = word.Selection();
    return selection != nullptr && call(*selection);
}

bool TypeAtBookmark(WordApplication& word, const QString& bookmark, const QString& text) {
    return OnSelection(word,
                       [&](WordSelection& s) {
                           return s.GoTo(wdGoToBookmark, QVariant(), QVariant(), bookmark);
                       }) &&
           OnSelection(word, [&](WordSelection& s) { return s.TypeText(text); });
}

// Where the report is built: beside the report, under a name of its own.
QString PartialReportPath(const QString& reportPath) {
    const QFileInfo report(reportPath);
    return report.dir().filePath(QStringLiteral("~") + report.fileName());
}

bool FillAndSave(WordApplication& word, const SumRows& rows, const QString& templatePath,
                 const QString& reportPath, const QString& partialPath, MessageGateway& messages) {
    const auto failed = [&] {
        messages.inform(MessageIcon::Error, word.LastError());
        return false;
    };

    WordDocuments* documents = word.Documents();
    WordDocument* document = documents != nullptr ? documents->Open(templatePath) : nullptr;
    if (document == nullptr)
        return failed();

    // A template without its bookmarks would stop the report half-way with a
    // half-filled file on disk: check them all before anything is written.
    for (const QString& name : WordValueBookmarks + QStringList{WordTableBookmark}) {
        if (!document->BookmarkExists(name)) {
            messages.inform(MessageIcon::Error, QStringLiteral("В шаблоне отчета ") +
                                                    QDir::toNativeSeparators(templatePath) +
                                                    QStringLiteral(" нет закладки \"") + name +
                                                    QStringLiteral("\""));
            return false;
        }
    }

    // The form is saved before it is filled, but not over the previous
    // report: a fill that fails half-way must leave that one as it was.
    if (!word.SetVisible(true) || !document->SaveAs(partialPath))
        return failed();

    // Row 1 is the newest record, the last row the oldest.
    const int count = rows.Count();
    const TSum& newest = rows.Row(1);
    const QString values[] = {newest.date, rows.Row(count).date, newest.hours, newest.cycles,
                              newest.weightTotal};
    for (int i = 0; i < WordValueBookmarks.size(); ++i) {
        if (!TypeAtBookmark(word, WordValueBookmarks[i], values[i]))
            return failed();
    }

    if (!OnSelection(word, [&](WordSelection& s) {
            return s.GoTo(wdGoToBookmark, QVariant(), QVariant(), WordTableBookmark);
        }))
        return failed();
    const int tableRows = std::min(WordReportMaxRows, count - 1);
    for (int k = 1; k <= tableRows; ++k) {
        const TSum& row = rows.Row(k);
        for (const QString& cell : {row.cycles, row.date, row.time, row.weight, row.reach}) {
            if (!OnSelection(word, [&](WordSelection& s) { return s.TypeText(cell); }) ||
                !OnSelection(word, [](WordSelection& s) { return s.MoveRight(); }))
                return failed();
        }
        if (k < WordReportMaxRows && k < count - 1 &&
            !OnSelection(word, [](WordSelection& s) { return s.InsertRowsBelow(); }))
            return failed();
    }

    // Only the complete report takes the place of the previous one; SaveAs
    // replaces a file whole (this program's word processor through a
    // temporary file and a rename).
    if (!document->SaveAs(reportPath))
        return failed();
    return true;
}

bool FillReport(WordApplication& word, const SumRows& rows, const QString& templatePath,
                const QString& reportPath, MessageGateway& messages) {
    const QString partialPath = PartialReportPath(reportPath);
    const bool done = FillAndSave(word, rows, templatePath, reportPath, partialPath, messages);
    // Finished or not, the partial file has served.
    (void)QFile::remove(partialPath);
    return done;
}

} // namespace

bool MakeWordReport(WordApplication& word, const SumRows& rows, const QString& programDir,
                    MessageGateway& messages) {
    if (rows.Count() == 0) {
        // "dateend" would name a row that does not exist.
        messages.inform(MessageIcon::Warning, WordReportNoData);
        return false;
    }
    // The run folder is the current directory: an installed program's own
    // folder takes no report.
    const bool done = FillReport(word, rows, WordTemplatePath(programDir),
                                 WordReportPath(programDir, QDir::currentPath()), messages);
    word.Release();
    return done;
}
