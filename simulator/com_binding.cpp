#include "simulator/com_binding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace {

QString LinkPath(const QString& folder, int com) {
    return folder + QStringLiteral("/com") + QString::number(com);
}

// An entry that is there, a dangling link included.
bool Present(const QFileInfo& entry) {
    return entry.isSymLink() || entry.exists();
}

bool Alive(qint64 pid) {
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

// Whether the note says that a process now ended linked the entry to target.
bool MakerEnded(const QString& notePath, const QString& target) {
    QFile note(notePath);
    if (!note.open(QIODevice::ReadOnly))
        return false;
    const QStringList words = QString::fromLocal8Bit(note.readAll()).trimmed().split(u' ');
    bool ok = false;
    const qint64 pid = words.value(0).toLongLong(&ok);
    return ok && words.size() == 2 && words[1] == target && !Alive(pid);
}

// A killed simulator's link: to a pseudo-terminal that is gone, or whose
// maker is.
bool Stale(const QFileInfo& entry, const QString& notePath) {
    const QString target = entry.symLinkTarget();
    return entry.isSymLink() && target.startsWith(QStringLiteral("/dev/pts/")) &&
           (!QFileInfo::exists(target) || MakerEnded(notePath, target));
}

} // namespace

QString OwnerNotePath(const QString& folder, int com) {
    return folder + QStringLiteral("/.recorder-sim/com") + QString::number(com) +
           QStringLiteral(".owner");
}

int FreeComNumber(const QString& folder) {
    for (int com = LowestComNumber; com <= HighestComNumber; ++com)
        if (!Present(QFileInfo(LinkPath(folder, com))))
            return com;
    return 0;
}

BindResult BindCom(const QString& folder, int com, const QString& device, QString* link,
                   QString* error) {
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot create ") + folder;
        return BindResult::Failed;
    }
    const QString path = LinkPath(folder, com);
    const QFileInfo old(path);
    const QString notePath = OwnerNotePath(folder, com);
    if (Present(old) && !Stale(old, notePath)) {
        const QString what = old.isSymLink() ? QStringLiteral("leads to ") + old.symLinkTarget()
                                             : QStringLiteral("is there and no link");
        const int free = FreeComNumber(folder);
        *error =
            QStringLiteral("COM%1 is taken: %2 %3, left as it is; ").arg(com).arg(path, what) +
            (free > 0 ? QStringLiteral("use a free number, e.g. --com %1").arg(free)
                      : QStringLiteral("every number of ") + folder + QStringLiteral(" is taken"));
        return BindResult::Taken;
    }
    if (Present(old) && !QFile::remove(path)) {
        *error = QStringLiteral("cannot replace the stale link ") + path;
        return BindResult::Failed;
    }
    if (!QFile::link(device, path)) {
        *error = QStringLiteral("cannot create the link ") + path;
        return BindResult::Failed;
    }
    // Without the note a killed simulator's link is taken over only once its
    // terminal is gone: worth a try, no reason to refuse.
    QFile note(notePath);
    if (QDir().mkpath(QFileInfo(notePath).absolutePath()) && note.open(QIODevice::WriteOnly))
        note.write(QStringLiteral("%1 %2\n").arg(::getpid()).arg(device).toLocal8Bit());
    *link = path;
    return BindResult::Bound;
}

void UnbindCom(const QString& link, const QString& device) {
    if (link.isEmpty() || QFileInfo(link).symLinkTarget() != device)
        return;
    QFile::remove(link);
    const QFileInfo info(link);
    QFile::remove(OwnerNotePath(info.absolutePath(), info.fileName().mid(3).toInt()));
}
