#include "summator/word_paths.h"

#include <QDir>
#include <QFileInfo>

#ifndef ZORVAN_DATA_FROM_PROGRAM
#define ZORVAN_DATA_FROM_PROGRAM "../share/zorvan"
#endif

QString WordTemplatePath(const QString& programDir) {
    const QDir beside(programDir);
    const QString data = QDir::cleanPath(beside.filePath(QStringLiteral(ZORVAN_DATA_FROM_PROGRAM)));
    for (const QString& folder : {beside.path(), data}) {
        const QString path = QDir(folder).filePath(WordTemplateName);
        if (QFileInfo(path).isFile())
            return path;
    }
    return beside.filePath(WordTemplateName);
}

QString WordReportPath(const QString& programDir, const QString& runDir) {
    // An installed program (its template comes from the data folder) never
    // writes beside itself: for root the program's folder is writable too.
    const QString templatePath = WordTemplatePath(programDir);
    if (templatePath != QDir(programDir).filePath(WordTemplateName) &&
        QFileInfo(templatePath).isFile())
        return QDir(runDir).filePath(WordReportName);
    // A folder that is not there at all is left as the place named in the
    // failure, as before.
    const QFileInfo folder(programDir);
    const bool readOnly = folder.isDir() && !folder.isWritable();
    return QDir(readOnly ? runDir : programDir).filePath(WordReportName);
}
