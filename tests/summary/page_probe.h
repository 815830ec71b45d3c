#pragma once

#include <QFile>
#include <QRegularExpression>
#include <QString>

// The summary page as text, and the cells it marks with ids.

inline QString PageText(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("<missing>");
    return QString::fromUtf8(f.readAll());
}

// The text of the element with this id; "<none>" when the page has none.
inline QString PageCell(const QString& html, const QString& id) {
    const QRegularExpression re(QStringLiteral("id=\"%1\"[^>]*>([^<]*)<").arg(id));
    const QRegularExpressionMatch m = re.match(html);
    return m.hasMatch() ? m.captured(1) : QStringLiteral("<none>");
}
