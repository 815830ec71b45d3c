#pragma once

#include <QString>
#include <QVariant>

// The word processor as the report drives it: the members it calls on the
// automation object, under their published names. On Windows an
// implementation can forward them to the real application; elsewhere
// RtfWordApplication acts on them itself. Every call reports failure as a
// false result (or a null object); LastError() then holds the reason as a
// text for the user.

// Selection.GoTo's "What" for a bookmark.
inline constexpr int wdGoToBookmark = -1;

class WordSelection {
public:
    virtual ~WordSelection() = default;

    // Selection.GoTo(What, Which, Count, Name).
    [[nodiscard]] virtual bool GoTo(int what, const QVariant& which, const QVariant& count,
                                    const QString& name) = 0;
    // Selection.TypeText(Text): replaces the selection, leaves it after the text.
    [[nodiscard]] virtual bool TypeText(const QString& text) = 0;
    // Selection.MoveRight with the application's defaults.
    [[nodiscard]] virtual bool MoveRight() = 0;
    // Selection.InsertRowsBelow: an empty row below the current table row.
    [[nodiscard]] virtual bool InsertRowsBelow() = 0;
};

class WordDocument {
public:
    virtual ~WordDocument() = default;

    // Document.SaveAs(FileName); an existing file is overwritten.
    [[nodiscard]] virtual bool SaveAs(const QString& path) = 0;
    // Document.Bookmarks.Exists(Name).
    [[nodiscard]] virtual bool BookmarkExists(const QString& name) const = 0;
};

class WordDocuments {
public:
    virtual ~WordDocuments() = default;

    // Documents.Open(FileName): the opened document (owned by the
    // application), or null.
    [[nodiscard]] virtual WordDocument* Open(const QString& path) = 0;
};

class WordApplication {
public:
    virtual ~WordApplication() = default;

    // Application.Documents.
    [[nodiscard]] virtual WordDocuments* Documents() = 0;
    // Application.Visible = visible.
    [[nodiscard]] virtual bool SetVisible(bool visible) = 0;
    // Application.Selection: the selection of the active document, or null
    // when no document is open.
    [[nodiscard]] virtual WordSelection* Selection() = 0;
    // Lets go of the application. The word processor keeps its documents and
    // stays as it is; an implementation without a window of its own shows the
    // last saved document here when Visible was set and nothing failed.
    virtual void Release() = 0;

    // Why the last failing call failed.
    [[nodiscard]] virtual QString LastError() const = 0;
};
