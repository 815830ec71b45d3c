#pragma once

#include "summator/word_application.h"

#include <QString>
#include <QStringList>

// A word processor that only notes the calls made on it, one line each, and
// fails the call numbered failAt (0 = the first noted call) when asked to.
class RecordingWord : public WordApplication,
                      private WordDocuments,
                      private WordDocument,
                      private WordSelection {
public:
    QStringList calls;
    int failAt = -1;

    WordDocuments* Documents() override { return this; }
    bool SetVisible(bool visible) override {
        return note(QStringLiteral("Visible=") + (visible ? "true" : "false"));
    }
    WordSelection* Selection() override {
        return note(QStringLiteral("Selection")) ? this : nullptr;
    }
    void Release() override { calls << QStringLiteral("Release"); }
    QString LastError() const override { return QStringLiteral("failed: ") + calls.last(); }

private:
    bool note(const QString& call) {
        calls << call;
        return calls.size() - 1 != failAt;
    }

    WordDocument* Open(const QString& path) override {
        return note(QStringLiteral("Open ") + path) ? this : nullptr;
    }
    bool SaveAs(const QString& path) override { return note(QStringLiteral("SaveAs ") + path); }
    bool BookmarkExists(const QString& name) const override {
        const_cast<RecordingWord*>(this)->calls << QStringLiteral("Exists ") + name;
        return true;
    }
    bool GoTo(int what, const QVariant& which, const QVariant& count,
              const QString& name) override {
        return note(
            QStringLiteral("GoTo %1 %2 %3 %4")
                .arg(what)
                .arg(which.isNull() ? "empty" : "set", count.isNull() ? "empty" : "set", name));
    }
    bool TypeText(const QString& text) override { return note(QStringLiteral("TypeText ") + text); }
    bool MoveRight() override { return note(QStringLiteral("MoveRight")); }
    bool InsertRowsBelow() override { return note(QStringLiteral("InsertRowsBelow")); }
};
