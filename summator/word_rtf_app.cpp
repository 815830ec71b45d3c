#include "summator/word_rtf_app.h"

#include "summator/word_desktop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

// A document and its selection: the selection belongs to the document, so one
// object answers both.
class RtfWordApplication::Document : public WordDocument, public WordSelection {
public:
    Document(RtfWordApplication& app, RtfDocument doc, QString path)
        : app_(app), doc_(std::move(doc)), path_(std::move(path)) {}

    [[nodiscard]] const RtfDocument& Model() const { return doc_; }

    bool SaveAs(const QString& path) override {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return app_.fail(QStringLiteral("Невозможно открыть файл ") + Native(path));
        const QByteArray bytes = doc_.Serialize();
        if (file.write(bytes) != bytes.size()) {
            file.cancelWriting();
            return app_.fail(QStringLiteral("Ошибка записи в файл ") + Native(path));
        }
        // The old file is replaced only by a complete new one.
        if (!file.commit())
            return app_.fail(QStringLiteral("Невозможно закрыть файл ") + Native(path));
        app_.lastSaved_ = QFileInfo(path).absoluteFilePath();
        return true;
    }

    bool BookmarkExists(const QString& name) const override {
        return doc_.Bookmark(name).has_value();
    }

    bool GoTo(int what, const QVariant& which, const QVariant& count,
              const QString& name) override {
        if (what != wdGoToBookmark || !which.isNull() || !count.isNull())
            return app_.fail(QStringLiteral("GoTo: поддерживается только переход к закладке"));
        const std::optional<RtfDocument::Range> range = doc_.Bookmark(name);
        if (!range)
            return app_.fail(QStringLiteral("В документе ") + Native(path_) +
                             QStringLiteral(" нет закладки \"") + name + QStringLiteral("\""));
        selection_ = *range;
        return true;
    }

    bool TypeText(const QString& text) override {
        int at = selection_.end;
        if (selection_.begin < selection_.end)
            at -= doc_.RemoveText(selection_);
        at += doc_.InsertText(at, text);
        selection_ = {at, at};
        return true;
    }

    bool MoveRight() override {
        const int at = selection_.end;
        const std::optional<RtfDocument::Row> row = doc_.RowAt(at);
        if (!row)
            return app_.fail(QStringLiteral("MoveRight: выделение не в таблице"));
        for (std::size_t k = 0; k < row->cells.size(); ++k) {
            if (row->cells[k] < at)
                continue;
            // Into the next cell, or past the last one when there is none.
            const int next = k + 1 < row->cells.size() ? row->cells[k + 1] : row->cells[k] + 1;
            selection_ = {next, next};
            return true;
        }
        return app_.fail(QStringLiteral("MoveRight: за последней ячейкой строки нет ячеек"));
    }

    bool InsertRowsBelow() override {
        const std::optional<RtfDocument::Row> row = doc_.RowAt(selection_.end);
        if (!row)
            return app_.fail(QStringLiteral("InsertRowsBelow: выделение не в таблице"));
        const int first = doc_.InsertEmptyRowBelow(*row);
        if (first < 0)
            return app_.fail(QStringLiteral("InsertRowsBelow: строку таблицы нельзя повторить"));
        selection_ = {first, first};
        return true;
    }

private:
    RtfWordApplication& app_;
    RtfDocument doc_;
    QString path_;
    RtfDocument::Range selection_;
};

RtfWordApplication::RtfWordApplication(DocumentViewer viewer)
    : viewer_(viewer ? std::move(viewer) : DocumentViewer(ShowOnDesktop)) {}

RtfWordApplication::~RtfWordApplication() = default;

bool RtfWordApplication::fail(const QString& error) {
    error_ = error;
    failed_ = true;
    return false;
}

WordDocument* RtfWordApplication::Open(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("Невозможно открыть файл ") + Native(path));
        return nullptr;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        fail(QStringLiteral("Невозможно открыть файл ") + Native(path));
        return nullptr;
    }
    RtfDocument doc;
    QString why;
    if (!doc.Parse(bytes, &why)) {
        fail(QStringLiteral("Файл ") + Native(path) +
             QStringLiteral(" не является документом RTF: ") + why);
        return nullptr;
    }
    documents_.push_back(std::make_unique<Document>(*this, std::move(doc), path));
    return documents_.back().get();
}

bool RtfWordApplication::SetVisible(bool visible) {
    visible_ = visible;
    return true;
}

WordSelection* RtfWordApplication::Selection() {
    if (documents_.empty()) {
        fail(QStringLiteral("Нет открытого документа"));
        return nullptr;
    }
    return documents_.back().get();
}

void RtfWordApplication::Release() {
    // Only a complete report is shown: after a failure the user has the
    // message, and the file on disk may hold an earlier state.
    if (visible_ && !failed_ && !lastSaved_.isEmpty())
        viewer_(lastSaved_);
    visible_ = false;
}

const RtfDocument* RtfWordApplication::ActiveDocument() const {
    return documents_.empty() ? nullptr : &documents_.back()->Model();
}
