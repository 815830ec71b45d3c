#include "summary/summary_page.h"

#include "seal/seal_files.h"
#include "summary/duty_section.h"
#include "summary/page_sections.h"

#include <QDir>
#include <QSaveFile>

namespace {

const char* const Style = R"(
body{font-family:sans-serif;margin:0 auto;max-width:60em;padding:.5em;color:#212121;line-height:1.35}
h1{font-size:1.4em}h2{font-size:1.2em;border-bottom:2px solid #1565c0;margin-top:1.5em}
h3{font-size:1.05em}
table{border-collapse:collapse;margin:.5em 0;font-size:.9em}
th,td{border:1px solid #bdbdbd;padding:.2em .4em;text-align:left;vertical-align:top}
td.n{text-align:right;font-variant-numeric:tabular-nums}
.scroll{overflow-x:auto}
figure{margin:.8em 0;break-inside:avoid;page-break-inside:avoid}
figure svg{display:block;width:100%;height:auto;max-width:900px}
.swatch{display:inline-block;width:.9em;height:.9em;margin-right:.3em;vertical-align:middle}
.missing{font-style:italic;color:#b71c1c}
@media print{@page{size:A4;margin:12mm}body{max-width:none;font-size:10pt}
 h2,h3{break-after:avoid;page-break-after:avoid}a{color:inherit;text-decoration:none}
 section>p{break-after:avoid;page-break-after:avoid}}
)";

} // namespace

QString SummaryPageHtml(const RunSummary& summary, const QStringList& runFiles) {
    QString html;
    html.reserve(256 * 1024);
    html += QStringLiteral("<!DOCTYPE html>\n<html lang=\"ru\"><head><meta charset=\"utf-8\">"
                           "<meta name=\"viewport\" content=\"width=device-width, "
                           "initial-scale=1\"><title>Сводка чтения регистратора</title><style>");
    html += QString::fromLatin1(Style);
    html += QStringLiteral("</style></head><body>\n<h1>Сводка чтения регистратора</h1>\n");
    html += IdentSection(summary);
    html += ReadoutsSection(summary);
    html += EventsSection(summary);
    html += SummatorSection(summary);
    html += DutySection(summary);
    html += FilesSection(runFiles, summary.OutsideFiles());
    html += QStringLiteral("</body></html>\n");
    return html;
}

bool WriteSummaryPage(const RunSummary& summary, const QString& folder, QString* error) {
    const QDir dir(folder);
    QStringList files = dir.entryList(QDir::Files, QDir::Name);
    files.removeAll(SummaryPageName);
    // The seal of the readout before vouches for the files; it is none of them.
    for (const char* seal : {ManifestName, SignatureName, PublicKeyName})
        files.removeAll(QString::fromLatin1(seal));
    QSaveFile file(dir.filePath(SummaryPageName));
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    file.write(SummaryPageHtml(summary, files).toUtf8());
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
