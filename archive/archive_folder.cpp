#include "archive/archive_folder.h"

#include <QCryptographicHash>
#include <QStandardPaths>
#include <QStringDecoder>
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
    for (qsizetype at = 0; at < identification.size(); at += BlockSize) {
        QByteArray block = identification.mid(at, BlockSize);
        block.replace('\0', ' ').replace('\xFF', ' ');
        QStringDecoder decoder("windows-1251");
        const QString line = QString(decoder(block)).trimmed();
        if (!line.isEmpty())
            lines << line;
    }
    return lines;
}
