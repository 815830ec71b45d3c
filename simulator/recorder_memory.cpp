#include "simulator/recorder_memory.h"

#include "image/image_file.h"

#include <QtEndian>

#include <algorithm>

namespace {

constexpr int IdentAreaSize = 2048;
constexpr int EraseTimeAreaSize = 64;
constexpr int PointerAreaSize = 8;
constexpr int ClockBytesCount = 5;
constexpr std::uint8_t EraseReason = 0x07;

std::optional<int> fromBcd(std::uint8_t b) {
    const int hi = b >> 4;
    const int lo = b & 0x0F;
    if (hi > 9 || lo > 9) {
        return std::nullopt;
    }
    return hi * 10 + lo;
}

// Date and time of five BCD clock bytes; invalid for anything else.
QDateTime clockFromBytes(const QByteArray& five) {
    if (five.size() != ClockBytesCount) {
        return {};
    }
    std::optional<int> v[ClockBytesCount];
    for (int i = 0; i < ClockBytesCount; ++i) {
        v[i] = fromBcd(static_cast<std::uint8_t>(five[i]));
        if (!v[i]) {
            return {};
        }
    }
    const QDate date(2000 + *v[4], *v[3], *v[2]);
    const QTime time(*v[1], *v[0]);
    if (!date.isValid() || !time.isValid()) {
        return {};
    }
    return QDateTime(date, time);
}

void recordBytes(MemoryImage& image, std::uint8_t selector, std::uint32_t address,
                 const QByteArray& bytes) {
    image.Record(selector, address, reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                 int(bytes.size()), ReadOrigin{});
}

} // namespace

QDateTime RecorderMemory::TimeOf(const QByteArray& five) {
    return clockFromBytes(five);
}

QDateTime RecorderMemory::NewestRecordTime() const {
    const QDateTime event = TimeOf(main_.mid(CurrentEventAddress, ClockBytesCount));
    const QDateTime sum = TimeOf(main_.mid(CurrentSumAddress, ClockBytesCount));
    if (!event.isValid() || !sum.isValid())
        return event.isValid() ? event : sum;
    return std::max(event, sum);
}

RecorderMemory::RecorderMemory()
    : ident_(IdentAreaSize, '\xFF'), main_(MainSize, '\xFF'), eraseTime_(EraseTimeAreaSize, '\xFF'),
      pointers_(PointerAreaSize, '\xFF') {
    // A blank recorder still points at its first slots.
    SetEventPointer(EventFirst);
    SetSumPointer(SumFirst);
}

QByteArray* RecorderMemory::area(std::uint8_t selector) {
    return const_cast<QByteArray*>(std::as_const(*this).area(selector));
}

const QByteArray* RecorderMemory::area(std::uint8_t selector) const {
    switch (selector) {
    case IdentSelector:
        return &ident_;
    case MainSelector:
        return &main_;
    case EraseTimeSelector:
        return &eraseTime_;
    case PointerSelector:
        return &pointers_;
    default:
        return nullptr;
    }
}

QByteArray RecorderMemory::Get(std::uint8_t selector, std::uint32_t address, int length) const {
    QByteArray out(std::max(length, 0), '\xFF');
    QByteArray clock;
    const QByteArray* source = area(selector);
    if (selector == ClockSelector) {
        clock = ClockBytes();
        source = &clock;
    }
    if (source == nullptr) {
        return out;
    }
    for (int i = 0; i < out.size(); ++i) {
        const std::uint64_t a = std::uint64_t(address) + std::uint64_t(i);
        if (a < std::uint64_t(source->size())) {
            out[i] = (*source)[qsizetype(a)];
        }
    }
    return out;
}

void RecorderMemory::Set(std::uint8_t selector, std::uint32_t address, const QByteArray& bytes) {
    if (selector == ClockSelector) {
        QByteArray clock = ClockBytes();
        for (int i = 0; i < bytes.size(); ++i) {
            const std::uint64_t a = std::uint64_t(address) + std::uint64_t(i);
            if (a < ClockBytesCount) {
                clock[qsizetype(a)] = bytes[i];
            }
        }
        WriteClockBytes(clock);
        return;
    }
    QByteArray* target = area(selector);
    if (target == nullptr) {
        return;
    }
    for (int i = 0; i < bytes.size(); ++i) {
        const std::uint64_t a = std::uint64_t(address) + std::uint64_t(i);
        if (a < std::uint64_t(target->size())) {
            (*target)[qsizetype(a)] = bytes[i];
        }
    }
}

std::uint32_t RecorderMemory::pointer(int offset) const {
    return qFromBigEndian<std::uint32_t>(pointers_.constData() + offset);
}

void RecorderMemory::setPointer(int offset, std::uint32_t address) {
    qToBigEndian(address, pointers_.data() + offset);
}

void RecorderMemory::SetClock(const QDateTime& time) {
    rawClock_.reset();
    known_[ClockSelector].fill(1);
    // Minute resolution: the written minute starts now.
    QDateTime t = time;
    t.setTime(QTime(time.time().hour(), time.time().minute()));
    clockOffsetMs_ = QDateTime::currentDateTime().msecsTo(t);
}

QDateTime RecorderMemory::Clock() const {
    if (rawClock_) {
        return clockFromBytes(*rawClock_);
    }
    return QDateTime::currentDateTime().addMSecs(clockOffsetMs_);
}

QByteArray RecorderMemory::ClockBytes() const {
    if (rawClock_) {
        return *rawClock_;
    }
    return TimeBytes(Clock());
}

void RecorderMemory::WriteClockBytes(const QByteArray& five) {
    known_[ClockSelector].fill(1);
    const QDateTime t = clockFromBytes(five);
    if (t.isValid()) {
        SetClock(t);
    } else {
        rawClock_ = five.left(ClockBytesCount).leftJustified(ClockBytesCount, '\xFF');
    }
}

void RecorderMemory::blank(std::uint32_t from, std::uint32_t to) {
    std::fill(main_.begin() + from, main_.begin() + to, '\xFF');
    written(from, to);
}

void RecorderMemory::written(std::uint32_t from, std::uint32_t to) {
    if (!partial_) {
        return;
    }
    std::fill(known_[MainSelector].begin() + from, known_[MainSelector].begin() + to, '\1');
    known_[PointerSelector].fill(1);
}

void RecorderMemory::Erase() {
    blank(SumFirst, MainSize);
    blank(CurrentSumAddress, CurrentSumAddress + SumSize);
    blank(CurrentEventAddress, CurrentEventAddress + EventSize);
    SetEventPointer(EventFirst);
    SetSumPointer(SumFirst);
    const QByteArray now = ClockBytes();
    eraseTime_.replace(EraseTimeAddress, ClockBytesCount, now);

    // The recorder notes its own erase: no weight, no reach, all lines off.
    QByteArray event = now;
    event.append('\xFF');
    event.append('\xFF');
    event.append(3, '\0');
    event.append(char(EraseReason));
    AppendEvent(event);
}

void RecorderMemory::ResetSummator() {
    blank(SumFirst, SumLast + SumSize);
    blank(CurrentSumAddress, CurrentSumAddress + SumSize);
    SetSumPointer(SumFirst);
}

bool RecorderMemory::AppendEvent(const QByteArray& record) {
    if (record.size() != EventSize) {
        return false;
    }
    std::uint32_t p = EventPointer();
    const bool pointerBlank = IsEventSlot(p) && main_.mid(p, EventSize).count('\xFF') == EventSize;
    if (!pointerBlank) {
        const int index = EventSlotIndex(p);
        // A pointer that is no slot restarts at the first page.
        const std::uint32_t next =
            index < 0 ? EventFirst : EventSlotAddress((index + 1) % EventSlots);
        if (index < 0 || next / PageSize != p / PageSize) {
            const std::uint32_t page = next / PageSize * PageSize;
            blank(page, page + PageSize);
        }
        p = next;
    }
    main_.replace(p, EventSize, record);
    main_.replace(CurrentEventAddress, EventSize, record);
    written(p, p + EventSize);
    written(CurrentEventAddress, CurrentEventAddress + EventSize);
    SetEventPointer(p);
    return true;
}

bool RecorderMemory::AppendSum(const QByteArray& record) {
    if (record.size() != SumSize) {
        return false;
    }
    std::uint32_t p = SumPointer();
    const bool pointerBlank = IsSumSlot(p) && main_.mid(p, SumSize).count('\xFF') == SumSize;
    if (!pointerBlank) {
        const int index = SumSlotIndex(p);
        const std::uint32_t next = index < 0 ? SumFirst : SumSlotAddress((index + 1) % SumSlots);
        if (index < 0 || next / PageSize != p / PageSize) {
            const std::uint32_t page = next / PageSize * PageSize;
            blank(page, page + PageSize);
        }
        p = next;
    }
    main_.replace(p, SumSize, record);
    main_.replace(CurrentSumAddress, SumSize, record);
    written(p, p + SumSize);
    written(CurrentSumAddress, CurrentSumAddress + SumSize);
    SetSumPointer(p);
    return true;
}

bool RecorderMemory::IsEventSlot(std::uint32_t address) {
    return EventSlotIndex(address) >= 0;
}

bool RecorderMemory::IsSumSlot(std::uint32_t address) {
    return SumSlotIndex(address) >= 0;
}

std::uint32_t RecorderMemory::EventSlotAddress(int index) {
    const int page = index / EventSlotsPerPage;
    const int offset = (index % EventSlotsPerPage) * EventSize;
    return EventFirst + std::uint32_t(page) * PageSize + std::uint32_t(offset);
}

int RecorderMemory::EventSlotIndex(std::uint32_t address) {
    if (address < EventFirst || address > EventLast) {
        return -1;
    }
    const std::uint32_t offset = address % PageSize;
    if (offset % EventSize != 0 || offset > 0xFFEC) {
        return -1;
    }
    const int page = int((address - EventFirst) / PageSize);
    return page * EventSlotsPerPage + int(offset / EventSize);
}

std::uint32_t RecorderMemory::SumSlotAddress(int index) {
    return SumFirst + std::uint32_t(index) * SumSize;
}

int RecorderMemory::SumSlotIndex(std::uint32_t address) {
    if (address < SumFirst || address > SumLast || address % SumSize != 0) {
        return -1;
    }
    return int((address - SumFirst) / SumSize);
}

std::uint8_t RecorderMemory::ToBcd(int value) {
    value = ((value % 100) + 100) % 100;
    return std::uint8_t((value / 10) << 4 | (value % 10));
}

QByteArray RecorderMemory::TimeBytes(const QDateTime& time) {
    QByteArray out;
    out.append(char(ToBcd(time.time().minute())));
    out.append(char(ToBcd(time.time().hour())));
    out.append(char(ToBcd(time.date().day())));
    out.append(char(ToBcd(time.date().month())));
    out.append(char(ToBcd(time.date().year())));
    return out;
}

// A save is a readout of everything: origin unknown (time 0, no COM port).
QByteArray RecorderMemory::ToImage() const {
    MemoryImage image;
    for (std::uint8_t selector :
         {IdentSelector, MainSelector, EraseTimeSelector, PointerSelector}) {
        const QByteArray& bytes = *area(selector);
        if (!partial_) {
            recordBytes(image, selector, 0, bytes);
            continue;
        }
        const QByteArray& known = known_[selector];
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            qsizetype end = i;
            while (end < bytes.size() && known[end]) {
                ++end;
            }
            if (end > i) {
                recordBytes(image, selector, std::uint32_t(i), bytes.mid(i, end - i));
            }
            i = end;
        }
    }
    if (Answers(ClockSelector, 0, ClockBytesCount)) {
        recordBytes(image, ClockSelector, 0, ClockBytes());
    }
    return ImageFormat::Serialize(image);
}

bool RecorderMemory::FromImage(const QByteArray& image, QString* error) {
    MemoryImage read;
    const ImageLoad load = LoadMemoryImage(image, read);
    if (!load.ok) {
        if (error) {
            *error = load.error;
        }
        return false;
    }
    RecorderMemory loaded;
    loaded.partial_ = true;
    for (std::uint8_t selector :
         {IdentSelector, MainSelector, EraseTimeSelector, PointerSelector}) {
        QByteArray* target = loaded.area(selector);
        loaded.known_[selector] = QByteArray(target->size(), '\0');
    }
    loaded.known_[ClockSelector] = QByteArray(ClockBytesCount, '\0');
    QByteArray clock(ClockBytesCount, '\xFF');
    // What lies outside the simulator's areas cannot be served and is left out.
    for (const MemoryImage::Run& run : read.Runs()) {
        QByteArray* target = run.selector == ClockSelector ? &clock : loaded.area(run.selector);
        if (target == nullptr) {
            continue;
        }
        QByteArray& known = loaded.known_[run.selector];
        for (qsizetype i = 0; i < run.bytes.size(); ++i) {
            const qsizetype a = qsizetype(run.address) + i;
            if (a < target->size()) {
                (*target)[a] = run.bytes[i];
                known[a] = 1;
            }
        }
    }
    // The clock stands at the value read: replies match the readout's.
    loaded.rawClock_ = clock;
    *this = loaded;
    return true;
}

bool RecorderMemory::Answers(std::uint8_t selector, std::uint32_t address, int length) const {
    if (!partial_) {
        return true;
    }
    if (selector >= known_.size()) {
        return false;
    }
    const QByteArray& known = known_[selector];
    if (length < 0 ||
        std::uint64_t(address) + std::uint64_t(length) > std::uint64_t(known.size())) {
        return false;
    }
    return std::all_of(known.begin() + address, known.begin() + address + length,
                       [](char k) { return k != 0; });
}
