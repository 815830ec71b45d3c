#include "archive/archive_folder.h"

#include "decoding/ident_text.h"

#include <QCryptographicHash>
#include <QStandardPaths>
#include <QStringList>

QString ArchiveFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/zorvan");
}

QString RecorderKey(const QByteArray& identification) {
    // 80 bits of SHA-256: no two recorders of a fleet meet by chance.
    return QString::fromLatin1(
        QCryptographicHash::hash(identification, QCryptographicHash::Sha256).left(10).toHex());
}

QStringList IdentificationLines(const QByteArray& identification) {
    constexpr int BlockSize = 10;
    QStringList lines;
    for (int first = 1; first <= identification.size(); first += BlockSize) {
        const QString line = IdentText(identification, first, BlockSize).trimmed();
        if (!line.isEmpty())
            lines << line;
    }
    return lines;
}
