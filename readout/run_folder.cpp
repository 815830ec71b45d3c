#include "readout/run_folder.h"

#include <QFileInfo>

namespace {
// Far beyond any number of programs started in one second; it only bounds
// the search in a folder that refuses every name for another reason.
constexpr int MaxSuffix = 1000;
} // namespace

QString RunFolderName(const QDateTime& at) {
    // The date alone when the time is exactly midnight, as the date-and-time
    // text then leaves the time out.
    if (at.time().msecsSinceStartOfDay() == 0)
        return at.toString(QStringLiteral("dd_MM_yyyy"));
    return at.toString(QStringLiteral("dd_MM_yyyy_HH_mm_ss"));
}

QString MakeRunFolder(const QDir& dir, const QDateTime& at) {
    const QString name = RunFolderName(at);
    for (int n = 1; n <= MaxSuffix; ++n) {
        const QString candidate = n == 1 ? name : name + QLatin1Char('_') + QString::number(n);
        // mkdir fails when the name exists: whoever made it first owns it.
        if (dir.mkdir(candidate))
            return QFileInfo(dir.absoluteFilePath(candidate)).absoluteFilePath();
        if (!QFileInfo::exists(dir.absoluteFilePath(candidate)))
            return QString(); // no folder can be made there at all
    }
    return QString();
}
