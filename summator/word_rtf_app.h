#pragma once

#include "summator/word_application.h"
#include "summator/word_rtf.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

// Shows a finished document to the user (the desktop's default application).
using DocumentViewer = std::function<void(const QString& path)>;

// The word processor's calls acted on by this program itself, over RTF files
// that every word processor opens. The selection is a place (or a span) in
// the active document:
// - GoTo selects a bookmark's span;
// - TypeText replaces the selection and leaves it after the text;
// - MoveRight from inside a table cell goes to the next cell of the row; from
//   the last cell it goes past the row's cells, where InsertRowsBelow adds an
//   empty row below and puts the selection into its first cell.
// With Visible set, Release shows the last saved document, unless a call
// failed on the way.
class RtfWordApplication : public WordApplication, private WordDocuments {
public:
    explicit RtfWordApplication(DocumentViewer viewer = {});
    ~RtfWordApplication() override;

    WordDocuments* Documents() override { return this; }
    bool SetVisible(bool visible) override;
    WordSelection* Selection() override;
    void Release() override;
    [[nodiscard]] QString LastError() const override { return error_; }

    // What the documents hold, for whoever checks the result.
    [[nodiscard]] const RtfDocument* ActiveDocument() const;
    [[nodiscard]] QString LastSavedPath() const { return lastSaved_; }
    [[nodiscard]] bool Visible() const { return visible_; }

private:
    class Document;
    friend class Document;

    WordDocument* Open(const QString& path) override;
    bool fail(const QString& error);

    DocumentViewer viewer_;
    std::vector<std::unique_ptr<Document>> documents_;
    QString error_;
    QString lastSaved_;
    bool visible_ = false;
    bool failed_ = false;
};
