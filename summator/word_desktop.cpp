#include "summator/word_desktop.h"

#include <QUrl>
#include <QtGui/QDesktopServices>
#include <QtGui/QGuiApplication>

bool HasDesktop() {
    // Opening a URL needs the platform services of a GUI application.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        return false;
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return false;
    const QByteArray forced = qgetenv("QT_QPA_PLATFORM");
    if (forced.startsWith("offscreen") || forced.startsWith("minimal"))
        return false;
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return false;
#endif
    return true;
}

void ShowOnDesktop(const QString& path) {
    if (HasDesktop())
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
