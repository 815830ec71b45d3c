#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// What heads a print file: the block written once before the first record,
// and the column heading that opens every page.
struct PrintHead {
    QStringList opening;            // identification, title, clock line, empty line
    std::uint32_t openingCount = 0; // how many of them count on the first page
    QStringList columns;            // the column heading, followed by an empty line
};

// Page state of a print file. The event and the summator print files share
// one, and every operation starts it afresh (Reset). The pager only says which
// lines go to the file; writing them is the caller's job, so the page layout
// stays right even when a line could not be written.
class PrintPager {
public:
    // A page is closed once this many lines are counted on it.
    static constexpr std::uint32_t PageFull = 55;
    // The last page is padded to this count before its footer.
    static constexpr std::uint32_t PaddedPage = 56;
    static constexpr char FormFeed = '\f';

    // The state at the start of an operation: first record ahead, page 1 empty.
    void Reset();

    // Lines for one record: the opening block before the first record, the
    // heading at the start of a page (after a form-feed line on every page but
    // the first), the record line unless the record is absent, and the empty
    // line and footer once the page is full. The state moves on as if every
    // line had been written.
    [[nodiscard]] QStringList RecordLines(const PrintHead& head,
                                          const std::optional<QString>& recordLine);

    // Called once a record has been through every file of the readout.
    void RecordDone() { firstRecord_ = false; }

    // Lines that finish the last page: empty lines up to the padded length,
    // then the footer. A file stopped before its first record thus gets one
    // blank numbered page, and so does a readout whose last record closed
    // its page: the file always ends in a padded, numbered page. Only the
    // first call of an operation gives lines.
    [[nodiscard]] QStringList CompletionLines();

    [[nodiscard]] static QString Footer(std::uint32_t pageNumber);

    [[nodiscard]] bool FirstRecord() const { return firstRecord_; }
    [[nodiscard]] std::uint32_t PageLines() const { return pageLines_; }
    [[nodiscard]] std::uint32_t PageNumber() const { return pageNumber_; }

private:
    void closePage(QStringList& out);

    bool firstRecord_ = true;
    std::uint32_t pageLines_ = 0;
    std::uint32_t pageNumber_ = 1;
    bool completed_ = false;
};
