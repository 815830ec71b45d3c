#include "cli/console.h"

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

bool IsFileErrorText(const QString& text) {
    // The texts the readouts, their files and the report use for file errors.
    for (const char* start :
         {"Невозможно открыть файл ", "Ошибка записи в файл ", "Невозможно закрыть файл "}) {
        if (text.startsWith(QString::fromUtf8(start)))
            return true;
    }
    return false;
}

ReadoutProgress::Style ProgressStyleFor(bool quiet) {
    if (quiet)
        return ReadoutProgress::Style::Quiet;
    return StderrIsTerminal() ? ReadoutProgress::Style::Bar : ReadoutProgress::Style::Lines;
}

Console::Console(ReadoutProgress::Style progressStyle) : progress_(progressStyle, stderr) {}

void Console::inform(MessageIcon, const QString& text) {
    if (IsFileErrorText(text))
        fileError_ = true;
    Err(text);
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
