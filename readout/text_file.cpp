#include "readout/text_file.h"

#include <QFileInfo>

TextFile::TextFile() = default;

TextFile::~TextFile() {
    (void)Close();
}

bool TextFile::Create(const QString& name) {
    return open(name, QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
}

bool TextFile::Append(const QString& name) {
    return open(name, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

namespace {
// Files are opened on the one thread that runs the readouts.
TextFile::OpenFailure lastOpenFailure;
} // namespace

bool TextFile::open(const QString& name, QIODevice::OpenMode mode) {
    (void)Close();
    name_ = name;
    file_.setFileName(name);
    if (file_.open(mode))
        return true;
    lastOpenFailure = {QFileInfo(name).absoluteFilePath(), file_.errorString()};
    return false;
}

TextFile::OpenFailure TextFile::LastOpenFailure() {
    return lastOpenFailure;
}

QByteArray TextFile::Encode(const QString& text) {
    // Characters outside code page 1251 become '?', as a text file of that
    // code page would hold them.
    // Opening the converter costs far more than converting a line.
    thread_local QStringEncoder encoder("windows-1251", QStringConverter::Flag::Default);
    return encoder(text);
}

bool TextFile::WriteLn(const QString& line) {
    if (!file_.isOpen())
        return false;
    QByteArray bytes = Encode(line);
    bytes.append("\r\n", 2);
    // Unbuffered: each line reaches the system at once, so a full disk is
    // noticed at the record that hits it and nothing written is held back.
    return file_.write(bytes) == bytes.size();
}

bool TextFile::Close() {
    if (!file_.isOpen())
        return true;
    const bool flushed = file_.flush();
    const bool ok = flushed && file_.error() == QFileDevice::NoError;
    file_.close();
    return ok;
}
