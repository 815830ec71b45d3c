#include "cli/console.h"

#include "readout/text_file.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

void WriteLine(std::FILE* stream, const QString& line) {
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

bool StderrIsTerminal() {
#ifdef Q_OS_WIN
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

} // namespace

QString FileOpenDetail(const QString& text) {
    const QString prefix = QStringLiteral("Невозможно открыть файл ");
    if (!text.startsWith(prefix) || text.size() == prefix.size())
        return QString();
    const QFileInfo file(QDir::fromNativeSeparators(text.mid(prefix.size())));
    const QString path = file.absoluteFilePath();
    const TextFile::OpenFailure last = TextFile::LastOpenFailure();
    QString reason;
    if (QDir::cleanPath(last.path) == QDir::cleanPath(path))
        reason = last.reason;
    else if (file.isDir())
        reason = QStringLiteral("a folder of that name is in the way");
    else if (!QFileInfo(file.absolutePath()).isDir())
        reason = QStringLiteral("no such folder");
    else if (file.exists() ? !file.isWritable() : !QFileInfo(file.absolutePath()).isWritable())
        reason = QStringLiteral("permission denied");
    else if (!file.exists())
        reason = QStringLiteral("no such file"); // a file to be read, e.g. the report's template
    else
        reason = QStringLiteral("reason unknown");
    return QStringLiteral("zorvan-cli: cannot open %1: %2")
        .arg(QDir::toNativeSeparators(path), reason);
}

ReadoutProgress::Style ProgressStyleFor(bool quiet) {
    if (quiet)
        return ReadoutProgress::Style::Quiet;
    return StderrIsTerminal() ? ReadoutProgress::Style::Bar : ReadoutProgress::Style::Lines;
}

Console::Console(ReadoutProgress::Style progressStyle) : progress_(progressStyle, stderr) {}

void Console::inform(MessageIcon, const QString& text) {
    Err(text);
    // The box names the file as the readout opened it; a terminal user also
    // wants to know where that is and what stood in the way.
    const QString detail = FileOpenDetail(text);
    if (!detail.isEmpty())
        Err(detail);
}

bool Console::confirm(const QString& text) {
    Err(text);
    return false;
}

void Console::Out(const QString& line) {
    progress_.Suspend();
    WriteLine(stdout, line);
}

void Console::Err(const QString& line) {
    progress_.Suspend();
    WriteLine(stderr, line);
}
