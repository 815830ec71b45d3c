#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

// The recorder's memory and clock as its commands see them. Plain data, no
// locking: the simulator guards it.
class RecorderMemory {
public:
    static constexpr std::uint8_t IdentSelector = 3;
    static constexpr std::uint8_t MainSelector = 4;
    static constexpr std::uint8_t EraseTimeSelector = 5;
    static constexpr std::uint8_t PointerSelector = 6;
    static constexpr std::uint8_t ClockSelector = 7;

    static constexpr std::uint32_t CurrentSumAddress = 35;
    static constexpr std::uint32_t CurrentEventAddress = 120;
    static constexpr std::uint32_t EraseTimeAddress = 29;
    static constexpr std::uint32_t IdentAddress = 1538;
    static constexpr int IdentSize = 360;

    static constexpr int EventSize = 11;
    static constexpr int SumSize = 16;
    static constexpr std::uint32_t PageSize = 0x10000;
    static constexpr std::uint32_t SumFirst = 0x10000;
    static constexpr std::uint32_t SumLast = 0x2FFF0;
    static constexpr std::uint32_t EventFirst = 0x30000;
    static constexpr std::uint32_t EventLast = 0xFFFEC;
    static constexpr std::uint32_t MainSize = 0x100000;
    static constexpr int EventSlotsPerPage = 5957;
    static constexpr int EventSlots = 13 * EventSlotsPerPage;
    static constexpr int SumSlots = 8192;

    RecorderMemory();

    // Bytes of one selector's area; what lies outside any area reads 0xFF
    // and is not stored.
    [[nodiscard]] QByteArray Get(std::uint8_t selector, std::uint32_t address, int length) const;
    void Set(std::uint8_t selector, std::uint32_t address, const QByteArray& bytes);

    [[nodiscard]] std::uint32_t EventPointer() const { return pointer(0); }
    void SetEventPointer(std::uint32_t address) { setPointer(0, address); }
    [[nodiscard]] std::uint32_t SumPointer() const { return pointer(4); }
    void SetSumPointer(std::uint32_t address) { setPointer(4, address); }

    // The clock runs from the host clock plus an offset.
    void SetClock(const QDateTime& time);
    [[nodiscard]] QDateTime Clock() const;
    // Five BCD bytes: minute, hour, day, month, year in the century.
    [[nodiscard]] QByteArray ClockBytes() const;
    // The clock write's bytes; a valid date sets the clock, anything else is
    // kept as it stands and read back until the next set.
    void WriteClockBytes(const QByteArray& five);

    // Command 0x0A: both memories and the current records blank, the erase
    // time now, and the erase recorded as the first event.
    void Erase();
    // Command 0x0B: the summator memory and current record blank, the
    // pointer back at the first slot.
    void ResetSummator();

    // A new record after the newest one (or at the pointer while its slot is
    // blank); a pointer entering a new page blanks that page first. False for
    // a record of the wrong size. In a memory loaded from an image, what the
    // record changes is answered from then on.
    bool AppendEvent(const QByteArray& record);
    bool AppendSum(const QByteArray& record);

    // Slot arithmetic. Slot indices count from the first slot of an area.
    [[nodiscard]] static bool IsEventSlot(std::uint32_t address);
    [[nodiscard]] static bool IsSumSlot(std::uint32_t address);
    [[nodiscard]] static std::uint32_t EventSlotAddress(int index);
    [[nodiscard]] static int EventSlotIndex(std::uint32_t address); // -1 when no slot
    [[nodiscard]] static std::uint32_t SumSlotAddress(int index);
    [[nodiscard]] static int SumSlotIndex(std::uint32_t address); // -1 when no slot

    // BCD time bytes (minute, hour, day, month, yy) of a date and time.
    [[nodiscard]] static QByteArray TimeBytes(const QDateTime& time);
    // The date and time of such bytes; invalid for bytes that make none.
    [[nodiscard]] static QDateTime TimeOf(const QByteArray& five);
    // The time of the newer current record (event or summator); invalid
    // while both are blank.
    [[nodiscard]] QDateTime NewestRecordTime() const;
    [[nodiscard]] static std::uint8_t ToBcd(int value);

    // The memory as a recorder memory image (the format of the program's
    // "recorder.img"): every byte it answers for, the pointers and the clock.
    [[nodiscard]] QByteArray ToImage() const;
    // The one way in for an image: loads what it holds, as a recorder that
    // answers as it did when the image was read. Bytes never read stay
    // unanswered (Answers), and a clock read into it stays frozen at the value
    // read. False, with *error naming the problem, and nothing changed, for a
    // file of another format or version or with a damaged chunk.
    [[nodiscard]] bool FromImage(const QByteArray& image, QString* error = nullptr);
    // False when the recorder that was imaged never gave these bytes: such a
    // request goes unanswered. Always true for a memory not loaded from an
    // image, or once Generate has filled it.
    [[nodiscard]] bool Answers(std::uint8_t selector, std::uint32_t address, int length) const;
    // Every byte answered from now on.
    void AnswerEverything() { partial_ = false; }

    // Direct access to the main memory for the history generator.
    [[nodiscard]] QByteArray& Main() { return main_; }

private:
    [[nodiscard]] QByteArray* area(std::uint8_t selector);
    [[nodiscard]] const QByteArray* area(std::uint8_t selector) const;
    [[nodiscard]] std::uint32_t pointer(int offset) const;
    void setPointer(int offset, std::uint32_t address);
    void blank(std::uint32_t from, std::uint32_t to);
    // Marks bytes of the main memory and the pointer block as answered.
    void written(std::uint32_t from, std::uint32_t to);

    QByteArray ident_;
    QByteArray main_;
    QByteArray eraseTime_;
    QByteArray pointers_;
    qint64 clockOffsetMs_ = 0;
    // Clock bytes that make no date, or a clock loaded from an image: read
    // back as they stand.
    std::optional<QByteArray> rawClock_;
    // Loaded from an image: per selector, 1 for each byte it holds.
    bool partial_ = false;
    std::array<QByteArray, 8> known_;
};
