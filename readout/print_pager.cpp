#include "readout/print_pager.h"

void PrintPager::Reset() {
    firstRecord_ = true;
    pageLines_ = 0;
    pageNumber_ = 1;
    completed_ = false;
}

QString PrintPager::Footer(std::uint32_t pageNumber) {
    // 27 blanks center the page number under the columns.
    return QStringLiteral("                           Страница ") + QString::number(pageNumber);
}

void PrintPager::closePage(QStringList& out) {
    out << QString() << Footer(pageNumber_);
    pageLines_ = 0;
    ++pageNumber_;
}

QStringList PrintPager::RecordLines(const PrintHead& head,
                                    const std::optional<QString>& recordLine) {
    QStringList out;
    if (firstRecord_) {
        out << head.opening;
        pageLines_ += head.openingCount;
    }
    if (pageLines_ == 0 || firstRecord_) {
        // The form feed is not counted: it only moves the printer on.
        if (!firstRecord_)
            out << QString(QChar::fromLatin1(FormFeed));
        out << head.columns << QString();
        pageLines_ += static_cast<std::uint32_t>(head.columns.size()) + 1;
    }
    if (recordLine) {
        out << *recordLine;
        ++pageLines_;
    }
    if (pageLines_ >= PageFull)
        closePage(out);
    return out;
}

QStringList PrintPager::CompletionLines() {
    QStringList out;
    if (completed_)
        return out;
    completed_ = true;
    while (pageLines_ < PaddedPage) {
        out << QString();
        ++pageLines_;
    }
    out << Footer(pageNumber_);
    pageLines_ = 0;
    ++pageNumber_;
    return out;
}
