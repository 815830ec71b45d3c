#include "readout/text_file.h"

TextFile::TextFile() = default;

TextFile::~TextFile() {
    (void)Close();
}

bool TextFile::Create(const QString& name) {
    return open(name, QIODevice::WriteOnly | QIODevice::Truncate);
}

bool TextFile::Append(const QString& name) {
    return open(name, QIODevice::WriteOnly | QIODevice::Append);
}

bool TextFile::open(const QString& name, QIODevice::OpenMode mode) {
    (void)Close();
    name_ = name;
    file_.setFileName(name);
    return file_.open(mode);
}

QByteArray TextFile::Encode(const QString& text) {
    // Characters outside code page 1251 become '?', as a text file of that
    // code page would hold them.
    QStringEncoder encoder("windows-1251", QStringConverter::Flag::Default);
    return encoder(text);
}

bool TextFile::WriteLn(const QString& line) {
    if (!file_.isOpen())
        return false;
    QByteArray bytes = Encode(line);
    bytes.append("\r\n", 2);
    // Unbuffered writes would cost a system call a line; QFile buffers, and a
    // failed flush shows up at the latest on Close.
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
