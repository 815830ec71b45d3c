#include "archive/crane_store.h"

#include "archive/archive_database.h"
#include "image/image_file.h"
#include "link/recorder_requests.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSysInfo>
#include <QVariant>

using namespace RecorderMap;
using ArchiveDatabase::Why;

namespace {

// Blocks written per transaction: a few seconds of a readout at line speed.
constexpr std::size_t Batch = 64;

int Index(RecordMemory memory) {
    return memory == RecordMemory::Events ? 0 : 1;
}

int DbMemory(int index) {
    return index == 0 ? ArchiveDatabase::EventRecord : ArchiveDatabase::SumRecord;
}

int IndexOf(int dbMemory) {
    return dbMemory == ArchiveDatabase::EventRecord ? 0 : 1;
}

// Who read: the login name, else the home folder's name; never NULL.
QString UserName() {
    QString name = qEnvironmentVariable("USER");
    if (name.isEmpty())
        name = qEnvironmentVariable("USERNAME");
    if (name.isEmpty())
        name = QDir::home().dirName();
    return name.isNull() ? QString(QLatin1String("")) : name;
}

QString ComputerName() {
    const QString name = QSysInfo::machineHostName();
    return name.isNull() ? QString(QLatin1String("")) : name;
}

// A statement of db, prepared, with values bound in order.
QSqlQuery Prepared(const QSqlDatabase& db, const QString& sql, const QVariantList& values) {
    QSqlQuery query(db);
    query.prepare(sql);
    for (const QVariant& value : values)
        query.addBindValue(value);
    return query;
}

} // namespace

CraneStore::CraneStore() = default;

CraneStore::~CraneStore() {
    Close();
}

// Archiving ends here; the connections go in Close(), when no query or
// handle of them is left.
bool CraneStore::fail(const QString& what, const QString& why) {
    error_ = what + QStringLiteral(" (") + why + QLatin1Char(')');
    open_ = false;
    pending_.clear();
    return false;
}

void CraneStore::release() {
    recordQuery_.reset();
    if (!reader_.isEmpty())
        ArchiveDatabase::Close(reader_);
    if (!writer_.isEmpty())
        ArchiveDatabase::Close(writer_);
    reader_.clear();
    writer_.clear();
    open_ = false;
    pending_.clear();
}

// The write lock, or the end of archiving with why.
bool CraneStore::beginWrite(QSqlDatabase& db) {
    QString busy;
    return ArchiveDatabase::BeginWrite(db, &busy) ||
           fail(QStringLiteral("база архива занята"), busy);
}

bool CraneStore::commit() {
    QSqlQuery query(QSqlDatabase::database(writer_, false));
    if (query.exec(QStringLiteral("COMMIT")))
        return true;
    const QString why = Why(query);
    rollback();
    return fail(QStringLiteral("не удалось записать в базу архива"), why);
}

void CraneStore::rollback() {
    QSqlQuery query(QSqlDatabase::database(writer_, false));
    (void)query.exec(QStringLiteral("ROLLBACK"));
}

bool CraneStore::Open(const QString& path, const QString& key, const QByteArray& identification,
                      int comPort, std::int64_t now) {
    Close();
    error_.clear();
    if (open(path, key, identification, comPort, now))
        return true;
    release();
    return false;
}

bool CraneStore::open(const QString& path, const QString& key, const QByteArray& identification,
                      int comPort, std::int64_t now) {
    walks_ = {};
    comPort_ = comPort;
    writer_ = ArchiveDatabase::NewConnectionName();
    QString why;
    if (!ArchiveDatabase::Open(path, writer_, why)) {
        writer_.clear();
        error_ = why;
        return false;
    }
    QSqlDatabase db = QSqlDatabase::database(writer_, false);
    if (!beginWrite(db))
        return false;
    QSqlQuery crane = Prepared(
        db,
        QStringLiteral(
            "INSERT INTO cranes (key, identification, first_read, last_read) VALUES (?, ?, ?, ?) "
            "ON CONFLICT (key) DO UPDATE SET identification = excluded.identification, "
            "last_read = excluded.last_read"),
        {key, identification, qint64(now), qint64(now)});
    QSqlQuery id = Prepared(db, QStringLiteral("SELECT id FROM cranes WHERE key = ?"), {key});
    if (!crane.exec() || !id.exec() || !id.next()) {
        const QString error = Why(crane.lastError().isValid() ? crane : id);
        rollback();
        return fail(QStringLiteral("не удалось записать в базу архива"), error);
    }
    crane_ = id.value(0).toLongLong();
    QSqlQuery visit =
        Prepared(db,
                 QStringLiteral("INSERT INTO visits (crane, started, computer, user_name, "
                                "com_port) VALUES (?, ?, ?, ?, ?)"),
                 {qint64(crane_), qint64(now), ComputerName(), UserName(), comPort});
    if (!visit.exec()) {
        const QString error = Why(visit);
        rollback();
        return fail(QStringLiteral("не удалось записать в базу архива"), error);
    }
    visit_ = visit.lastInsertId().toLongLong();
    crane.finish();
    id.finish();
    if (!commit())
        return false;
    open_ = true;
    const QString image =
        QFileInfo(path).absolutePath() + QLatin1Char('/') + key + QStringLiteral(".img");
    if (QFileInfo::exists(image) && !importImageArchive(image, now))
        return false;
    return takeSnapshot();
}

bool CraneStore::takeSnapshot() {
    reader_ = ArchiveDatabase::NewConnectionName();
    QString why;
    if (!ArchiveDatabase::Open(QSqlDatabase::database(writer_, false).databaseName(), reader_,
                               why)) {
        reader_.clear();
        return fail(QStringLiteral("не удалось открыть базу архива"), why);
    }
    QSqlDatabase db = QSqlDatabase::database(reader_, false);
    QSqlQuery begin(db);
    QSqlQuery anchors = Prepared(
        db, QStringLiteral("SELECT memory, generation, pointer FROM anchors WHERE crane = ?"),
        {qint64(crane_)});
    // The first read after BEGIN fixes what this readout sees.
    if (!begin.exec(QStringLiteral("BEGIN")) || !anchors.exec())
        return fail(QStringLiteral("не удалось прочитать базу архива"), Why(anchors));
    while (anchors.next()) {
        const int memory = anchors.value(0).toInt();
        if (memory != ArchiveDatabase::EventRecord && memory != ArchiveDatabase::SumRecord)
            continue;
        Walk& walk = walks_[std::size_t(IndexOf(memory))];
        walk.seenGeneration = anchors.value(1).toLongLong();
        if (!anchors.isNull(2))
            walk.seenPointer = std::uint32_t(anchors.value(2).toLongLong());
    }
    recordQuery_ = std::make_unique<QSqlQuery>(db);
    recordQuery_->prepare(
        QStringLiteral("SELECT bytes, last_read FROM blocks WHERE crane = ? AND selector = ? "
                       "AND address = ? ORDER BY seq DESC LIMIT 1"));
    return true;
}

bool CraneStore::Close() {
    if (!open_) {
        release();
        return true;
    }
    // A failed flush tells why in Error().
    bool written = flush();
    if (written) {
        recordQuery_.reset();
        QSqlQuery end(QSqlDatabase::database(reader_, false));
        (void)end.exec(QStringLiteral("ROLLBACK"));
        for (const Walk& walk : walks_) {
            if (!walk.begun || walk.whole)
                continue;
            QSqlQuery cut = Prepared(
                QSqlDatabase::database(writer_, false),
                QStringLiteral("UPDATE visits SET outcome = 'cut' WHERE id = ?"), {qint64(visit_)});
            if (!cut.exec() && written)
                written = fail(QStringLiteral("не удалось записать в базу архива"), Why(cut));
        }
    }
    release();
    return written;
}

bool CraneStore::Add(std::uint8_t selector, std::uint32_t address, const std::uint8_t* data,
                     std::uint16_t length, std::int64_t readAt) {
    if (!open_)
        return false;
    pending_.push_back(
        {selector, address, QByteArray(reinterpret_cast<const char*>(data), length), readAt});
    return pending_.size() < Batch || flush();
}

bool CraneStore::flush() {
    if (!open_)
        return false;
    if (pending_.empty())
        return true;
    QSqlDatabase db = QSqlDatabase::database(writer_, false);
    if (!beginWrite(db))
        return false;
    if (!flushLocked()) {
        rollback();
        return fail(QStringLiteral("не удалось записать в базу архива"), error_);
    }
    return commit();
}

// Inside a write transaction: the pending blocks, each memory they hold a
// record of withdrawn first.
bool CraneStore::flushLocked() {
    QSqlDatabase db = QSqlDatabase::database(writer_, false);
    for (const Pending& block : pending_) {
        const int memory =
            ArchiveDatabase::MemoryOf(block.selector, block.address, int(block.bytes.size()));
        if (memory != ArchiveDatabase::OtherBlock &&
            !walks_[std::size_t(IndexOf(memory))].withdrawn && !withdrawLocked(IndexOf(memory)))
            return false;
    }
    QSqlQuery counter = Prepared(db, QStringLiteral("UPDATE cranes SET seq = seq + ? WHERE id = ?"),
                                 {qint64(pending_.size()), qint64(crane_)});
    QSqlQuery last =
        Prepared(db, QStringLiteral("SELECT seq FROM cranes WHERE id = ?"), {qint64(crane_)});
    if (!counter.exec() || !last.exec() || !last.next()) {
        error_ = Why(counter.lastError().isValid() ? counter : last);
        return false;
    }
    std::int64_t seq = last.value(0).toLongLong() - std::int64_t(pending_.size());
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT INTO blocks (crane, memory, selector, address, bytes, first_read, last_read, "
        "com_port, visit, seq) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
        "ON CONFLICT (crane, selector, address, bytes) DO UPDATE SET "
        "last_read = excluded.last_read, com_port = excluded.com_port, "
        "visit = excluded.visit, seq = excluded.seq"));
    for (const Pending& block : pending_) {
        insert.addBindValue(qint64(crane_));
        insert.addBindValue(
            int(ArchiveDatabase::MemoryOf(block.selector, block.address, int(block.bytes.size()))));
        insert.addBindValue(int(block.selector));
        insert.addBindValue(qint64(block.address));
        insert.addBindValue(block.bytes);
        insert.addBindValue(qint64(block.readAt));
        insert.addBindValue(qint64(block.readAt));
        insert.addBindValue(comPort_);
        insert.addBindValue(qint64(visit_));
        insert.addBindValue(qint64(++seq));
        if (!insert.exec()) {
            error_ = Why(insert);
            return false;
        }
    }
    pending_.clear();
    return true;
}

// Inside a write transaction: a new generation of the memory's walks, with no
// anchor until this readout gives it back.
bool CraneStore::withdrawLocked(int index) {
    Walk& walk = walks_[std::size_t(index)];
    QSqlDatabase db = QSqlDatabase::database(writer_, false);
    QSqlQuery withdraw = Prepared(
        db,
        QStringLiteral(
            "INSERT INTO anchors (crane, memory, generation, pointer) VALUES (?, ?, 1, NULL) "
            "ON CONFLICT (crane, memory) DO UPDATE SET generation = generation + 1, "
            "pointer = NULL, read_at = NULL"),
        {qint64(crane_), DbMemory(index)});
    QSqlQuery state =
        Prepared(db,
                 QStringLiteral("SELECT a.generation, c.seq FROM anchors a JOIN cranes c "
                                "ON c.id = a.crane WHERE a.crane = ? AND a.memory = ?"),
                 {qint64(crane_), DbMemory(index)});
    if (!withdraw.exec() || !state.exec() || !state.next()) {
        error_ = Why(withdraw.lastError().isValid() ? withdraw : state);
        return false;
    }
    walk.generation = state.value(0).toLongLong();
    walk.firstSeq = state.value(1).toLongLong();
    walk.trusted = walk.generation == walk.seenGeneration + 1;
    walk.withdrawn = true;
    return true;
}

std::optional<std::uint32_t> CraneStore::BeginWalk(RecordMemory memory) {
    const int index = Index(memory);
    Walk& walk = walks_[std::size_t(index)];
    if (!open_)
        return std::nullopt;
    walk.begun = true;
    QSqlDatabase db = QSqlDatabase::database(writer_, false);
    if (!beginWrite(db))
        return std::nullopt;
    QSqlQuery visit = Prepared(db, QStringLiteral("UPDATE visits SET memory = ? WHERE id = ?"),
                               {DbMemory(index), qint64(visit_)});
    if (!flushLocked() || (!walk.withdrawn && !withdrawLocked(index)) || !visit.exec()) {
        rollback();
        (void)fail(QStringLiteral("не удалось записать в базу архива"), error_);
        return std::nullopt;
    }
    if (!commit())
        return std::nullopt;
    if (!walk.trusted)
        return std::nullopt;
    return walk.seenPointer;
}

bool CraneStore::Record(std::uint32_t address, std::uint16_t length, std::uint8_t* data,
                        std::int64_t& readAt) const {
    if (!open_ || !recordQuery_)
        return false;
    recordQuery_->addBindValue(qint64(crane_));
    recordQuery_->addBindValue(int(MemorySelector));
    recordQuery_->addBindValue(qint64(address));
    if (!recordQuery_->exec() || !recordQuery_->next())
        return false;
    const QByteArray bytes = recordQuery_->value(0).toByteArray();
    readAt = recordQuery_->value(1).toLongLong();
    recordQuery_->finish();
    // The latest read there is the record, or there is none.
    if (bytes.size() != length)
        return false;
    std::copy(bytes.begin(), bytes.end(), data);
    return true;
}

void CraneStore::WalkRead(RecordMemory memory, std::uint32_t pointer, std::int64_t now) {
    const int index = Index(memory);
    Walk& walk = walks_[std::size_t(index)];
    if (!open_ || !walk.withdrawn)
        return;
    walk.whole = true;
    QSqlDatabase db = QSqlDatabase::database(writer_, false);
    if (!beginWrite(db))
        return;
    // Given back only when no other readout began or wrote this memory since.
    QSqlQuery giveBack = Prepared(
        db,
        QStringLiteral(
            "UPDATE anchors SET pointer = ?, read_at = ? WHERE crane = ? AND memory = ? "
            "AND generation = ? AND NOT EXISTS (SELECT 1 FROM blocks WHERE crane = ? AND "
            "memory = ? AND seq > ? AND visit <> ?)"),
        {qint64(pointer), qint64(now), qint64(crane_), DbMemory(index), qint64(walk.generation),
         qint64(crane_), DbMemory(index), qint64(walk.firstSeq), qint64(visit_)});
    QSqlQuery visit = Prepared(
        db, QStringLiteral("UPDATE visits SET outcome = 'whole' WHERE id = ?"), {qint64(visit_)});
    if (!flushLocked() || !giveBack.exec() || !visit.exec()) {
        const QString why = error_.isEmpty() ? Why(giveBack) : error_;
        rollback();
        (void)fail(QStringLiteral("не удалось записать в базу архива"), why);
        return;
    }
    (void)commit();
}

bool CraneStore::importImageArchive(const QString& imagePath, std::int64_t now) {
    QSqlDatabase db = QSqlDatabase::database(writer_, false);
    if (!beginWrite(db))
        return false;
    const QString file = QFileInfo(imagePath).fileName();
    QSqlQuery done = Prepared(db, QStringLiteral("SELECT 1 FROM imports WHERE file = ?"), {file});
    if (!done.exec()) {
        const QString why = Why(done);
        rollback();
        return fail(QStringLiteral("не удалось прочитать базу архива"), why);
    }
    if (done.next()) {
        done.finish();
        rollback();
        return true;
    }
    MemoryImage image;
    const ImageLoad load = LoadMemoryImageFile(imagePath, image);
    // Every record the old archive held at each slot, oldest first; a
    // damaged one is noted and left where it lies.
    std::int64_t seqBefore = 0;
    {
        QSqlQuery seq =
            Prepared(db, QStringLiteral("SELECT seq FROM cranes WHERE id = ?"), {qint64(crane_)});
        if (!seq.exec() || !seq.next()) {
            const QString why = Why(seq);
            rollback();
            return fail(QStringLiteral("не удалось прочитать базу архива"), why);
        }
        seqBefore = seq.value(0).toLongLong();
    }
    std::int64_t seq = seqBefore;
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT INTO blocks (crane, memory, selector, address, bytes, first_read, last_read, "
        "com_port, visit, seq) VALUES (?, ?, ?, ?, ?, ?, ?, ?, 0, ?) ON CONFLICT DO NOTHING"));
    const auto importSlot = [&](std::uint32_t address, int length) {
        const std::optional<QByteArray> bytes = image.Bytes(MemorySelector, address, length);
        if (!bytes)
            return true;
        const ReadOrigin origin = image.Origin(MemorySelector, address).value_or(ReadOrigin{});
        insert.addBindValue(qint64(crane_));
        insert.addBindValue(int(ArchiveDatabase::MemoryOf(MemorySelector, address, length)));
        insert.addBindValue(int(MemorySelector));
        insert.addBindValue(qint64(address));
        insert.addBindValue(*bytes);
        insert.addBindValue(qint64(origin.msecsSinceEpoch));
        insert.addBindValue(qint64(origin.msecsSinceEpoch));
        insert.addBindValue(origin.comPort);
        insert.addBindValue(qint64(++seq));
        return insert.exec();
    };
    bool ok = true;
    if (load.ok) {
        for (std::uint32_t page = EventStart; ok && page < EventEnd; page += PageSize)
            for (int slot = 0; ok && slot < SlotsPerPage; ++slot)
                ok = importSlot(page + std::uint32_t(slot) * EventLength, EventLength);
        for (std::uint32_t address = SumStart; ok && address < SumEnd; address += SumLength)
            ok = importSlot(address, SumLength);
    }
    QSqlQuery counter = Prepared(db, QStringLiteral("UPDATE cranes SET seq = ? WHERE id = ?"),
                                 {qint64(seq), qint64(crane_)});
    QSqlQuery note = Prepared(
        db, QStringLiteral("INSERT INTO imports (file, imported_at, result) VALUES (?, ?, ?)"),
        {file, qint64(now), load.ok ? QStringLiteral("ok") : load.error});
    if (!ok || !counter.exec() || !note.exec()) {
        const QString why = !ok ? Why(insert) : Why(counter.lastError().isValid() ? counter : note);
        rollback();
        return fail(QStringLiteral("не удалось перенести архив ") + file, why);
    }
    return commit();
}
