#pragma once

#include <QFile>
#include <QString>
#include <QStringEncoder>

// An output text file as the recorder's files are written: code page 1251,
// every line ended by CR LF. Errors come back as false results; the caller
// decides what the user sees.
class TextFile {
public:
    TextFile();
    ~TextFile();
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    // Creates the file anew (an existing one is overwritten).
    [[nodiscard]] bool Create(const QString& name);
    // Appends to the file, creating it when missing.
    [[nodiscard]] bool Append(const QString& name);
    // Writes text and CR LF. False on a write error (disk full, device gone).
    [[nodiscard]] bool WriteLn(const QString& line = QString());
    // Flushes and closes; false when the last bytes could not be written.
    [[nodiscard]] bool Close();

    [[nodiscard]] bool IsOpen() const { return file_.isOpen(); }
    [[nodiscard]] QString Name() const { return name_; }

    // The last file that could not be opened (absolute path) and why, for a
    // front end that can say more than the message box; empty when none.
    struct OpenFailure {
        QString path;
        QString reason;
    };
    [[nodiscard]] static OpenFailure LastOpenFailure();

    // The bytes a line becomes on disk, without the line end.
    [[nodiscard]] static QByteArray Encode(const QString& text);

private:
    [[nodiscard]] bool open(const QString& name, QIODevice::OpenMode mode);

    QFile file_;
    QString name_;
};
