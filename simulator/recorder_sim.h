#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class RecorderMemory;

// How generated cycles are drawn. Uniform: weight 1-50 t and reach 2-40 m,
// evenly, whatever the crane (the fixed data many tests compare against).
// Crane: the crane of the identification at work, within its load chart: a
// light-to-moderate spectrum, rare overloads, reaches its boom gives, and the
// erase before the oldest record of either memory.
enum class HistoryModel { Uniform, Crane };

// What Generate fills in. Everything is derived from the seed, so the same
// options always give the same bytes (the clock aside).
struct GenerateOptions {
    // Event records. Without a pointer of its own, the newest record lands
    // in slot number events - 1 counted from 0x30000 (modulo the slot count
    // when wrapped). 0 leaves the event memory blank.
    int events = 300;
    // Summator records, the same way from 0x10000.
    int sums = 200;
    // Wrapped: every slot of both memories holds a record, the newest at its
    // pointer, the oldest right above it (the slots of the pointer's page
    // above the pointer included).
    bool wrapped = false;
    // The address of the newest event record; not wrapped, the slots from
    // 0x30000 up to it are filled and `events` is ignored.
    std::optional<std::uint32_t> eventPointer;
    // The address of the newest summator record, likewise.
    std::optional<std::uint32_t> sumPointer;
    std::uint32_t seed = 1;
    // Time of the newest records; invalid means the recorder clock.
    QDateTime newest;
    // Also write a plausible identification area.
    bool identification = true;
    // The identification of another seed's recorder: another crane that
    // identifies as that one.
    std::optional<std::uint32_t> identSeed;
    HistoryModel model = HistoryModel::Uniform;
};

// A parameter recorder on a pseudo-terminal. Start() opens a pty pair and
// serves the recorder's frame protocol on a thread of its own; a serial port
// opens DevicePath() as if it were the recorder's line.
//
// Memory by selector: 7 clock (address 0, five BCD bytes, running), 6 pointer
// block (address 0, event pointer then summator pointer, most significant
// byte first), 5 erase time (address 29), 4 main memory (current summator
// record at 35, current event record at 120, summator memory 0x10000..0x2FFFF,
// event memory 0x30000..0xFFFFF), 3 identification area (1538..1897). Reads
// outside an area give 0xFF bytes.
//
// Every public member is thread-safe and may be called while serving.
class RecorderSimulator {
public:
    RecorderSimulator();  // blank memory (all 0xFF), clock = host clock
    ~RecorderSimulator(); // stops
    RecorderSimulator(const RecorderSimulator&) = delete;
    RecorderSimulator& operator=(const RecorderSimulator&) = delete;

    // Opens a pty pair (raw, no echo) and serves on its own thread. False
    // when the pty cannot be made or the simulator already runs.
    bool Start();
    void Stop();
    [[nodiscard]] bool IsRunning() const;
    // The slave side, e.g. /dev/pts/7: what a serial port opens. Empty
    // before Start().
    [[nodiscard]] QString DevicePath() const;

    // ---- content ----
    // Selector 7 takes five BCD clock bytes at address 0 (the clock then runs
    // on from them); bytes that are no valid date are returned as they stand
    // until the clock is set again.
    void SetBytes(std::uint8_t selector, std::uint32_t address, const QByteArray& bytes);
    [[nodiscard]] QByteArray Bytes(std::uint8_t selector, std::uint32_t address, int length) const;
    void SetEventPointer(std::uint32_t address);
    [[nodiscard]] std::uint32_t EventPointer() const;
    void SetSumPointer(std::uint32_t address);
    [[nodiscard]] std::uint32_t SumPointer() const;
    // The recorder clock reads this now, then runs on (minute resolution).
    void SetClock(const QDateTime& time);
    [[nodiscard]] QDateTime Clock() const;
    // A plausible history (see GenerateOptions); replaces both memories, the
    // pointers, the current records and, when asked, the identification.
    void Generate(const GenerateOptions& options);
    // Records as the recorder writes them: after the newest record, the
    // pointer moving on (a new 64 KiB page is blanked first) and the current
    // record following. Wrong sizes (11 and 16 bytes) are refused.
    bool AppendEvent(const QByteArray& record);
    bool AppendSum(const QByteArray& record);
    // The history going on by events and sums new records of the simulator's
    // own making (see AppendHistory), the first at the recorder clock.
    void AppendHistory(int events, int sums, std::uint32_t seed,
                       HistoryModel model = HistoryModel::Uniform);
    // The same, dated between the newest record and the recorder clock (see
    // AppendHistoryUntil): what the recorder wrote while nobody read it.
    void AppendHistoryToClock(int events, int sums, std::uint32_t seed,
                              HistoryModel model = HistoryModel::Uniform);
    // Memory and clock as a recorder memory image (the program's
    // "recorder.img" format). Loaded, the simulator answers as the imaged
    // recorder did: the clock frozen at the value read, bytes never read
    // unanswered. A file that is no such image is refused with *error
    // naming the problem, and changes nothing.
    [[nodiscard]] bool LoadImage(const QString& path, QString* error = nullptr);
    [[nodiscard]] bool SaveImage(const QString& path) const;

    // ---- faults ----
    struct Faults {
        bool silent = false;      // no replies at all
        bool badChecksum = false; // last reply byte wrong
        bool sumOneLow = false;   // last reply byte one less: the reply sums to 0xFE
        int cutAfter = -1;        // send only the first k reply bytes (-1: all)
        int extraBytes = 0;       // junk bytes after each reply
        int byteDelayMs = 0;      // pause before every reply byte
        int baud = 0;             // pace request and reply at this line speed (0: no pacing)
        int eraseAckDelayMs = 0;  // erase/reset acknowledged this late
        int vanishAfter = -1;     // close the pty master after this many requests
    };
    // vanishAfter counts from the SetFaults that changed it; 0 closes at once.
    // Silence and failed requests leave the memory alone; a cut, wrong or
    // late reply comes after the command has done its work.
    void SetFaults(const Faults& faults);
    [[nodiscard]] Faults CurrentFaults() const;
    // The next n requests naming this address get no reply (and do nothing).
    void FailNextRequests(std::uint32_t address, int n);

    // ---- what the recorder saw ----
    // One complete frame. Reads give address, length and selector; writes
    // the address, the data count as length and the parameter as selector;
    // erase and reset give zeros.
    struct Request {
        std::uint8_t command = 0;
        std::uint32_t address = 0;
        std::uint16_t length = 0;
        std::uint8_t selector = 0;
        QByteArray frame;       // frame bytes incl. checksum, without the wake byte
        bool checksumOk = true; // false: ignored (bad sum, or a write not taken)
    };
    [[nodiscard]] std::vector<Request> Requests() const;
    void ClearRequests();
    // Every byte received, wake bytes included, in order.
    [[nodiscard]] QByteArray ReceivedBytes() const;
    void ClearReceived();
    // Blocks until n requests were seen (since the last ClearRequests) or
    // timeoutMs passed; true when they were.
    [[nodiscard]] bool WaitForRequests(int n, int timeoutMs) const;

    // Printed on stderr for each request (--log of the program).
    void SetLogRequests(bool on);

    // For benchmarks of a client: each reply sent at line speed appends a
    // line "REACTION LATE" to this file, in microseconds: from the last byte
    // of the previous reply to the first byte of this request (-1 for the
    // first), and how late the reply's last byte went out against the line's
    // schedule. Written as the line is served, flushed when it is given up;
    // takes effect at the next Start. Empty: no file.
    void SetTimingLog(const QString& path);

private:
    class Server;
    friend class Server;

    // Wakes the serving thread so that changed faults act at once.
    void kickLocked();

    std::mutex startStop_; // Start and Stop one at a time
    mutable std::mutex mutex_;
    mutable std::condition_variable requestSeen_;
    std::unique_ptr<RecorderMemory> memory_;
    Faults faults_;
    int requestsSinceVanishSet_ = 0;
    std::vector<std::pair<std::uint32_t, int>> failing_;
    std::vector<Request> requests_;
    QByteArray received_;
    bool logRequests_ = false;
    QString timingLog_;
    QString devicePath_;

    std::unique_ptr<Server> server_;
};
