#include "records/record_store.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <system_error>

#include "records/digest.h"
#include "records/store_schema.h"
#include "records/utc_time.h"

namespace clinora::records {

namespace {

using Dialect = SqlConnection::Dialect;

// Columns of a listed record; the content is selected as '' where a listing
// does not need it.
constexpr const char* kSelectV2 =
    "SELECT uuid, chain, seq, prev_hash, hash, %CONTENT%, kind, time, station, serial, address,"
    " axis, file, file_sha256, outcome, follows, run, imported FROM records";
constexpr const char* kSelectV1 =
    "SELECT uuid, chain, seq, prev_hash, hash, %CONTENT%, kind, time, station, serial, address,"
    " axis, file, file_sha256, outcome, '', '', 0 FROM records";

std::string Select(int version, bool withContent) {
    std::string sql = version >= 2 ? kSelectV2 : kSelectV1;
    sql.replace(sql.find("%CONTENT%"), 9, withContent ? "content" : "''");
    return sql;
}

constexpr const char* kInsertColumnsV1 =
    "uuid, chain, seq, prev_hash, hash, content, kind, time, station, serial, address, axis, file,"
    " file_sha256, outcome";
constexpr const char* kInsertColumnsV2 =
    "uuid, chain, seq, prev_hash, hash, content, kind, time, station, serial, address, axis, file,"
    " file_sha256, outcome, follows, run, imported";
// Rows of one insert statement: fewer round trips to a server.
constexpr size_t kRowsPerInsert = 100;

// "INSERT ... VALUES (?, ...), (?, ...)" for `rows` rows; a record already
// there (by UUID) is skipped.
std::string InsertSql(int version, size_t rows) {
    const size_t columns = version >= 2 ? 18 : 15;
    std::string one = "(";
    for (size_t c = 0; c < columns; ++c) one += c ? ", ?" : "?";
    one += ")";
    std::string sql = std::string("INSERT INTO records (") +
                      (version >= 2 ? kInsertColumnsV2 : kInsertColumnsV1) + ") VALUES ";
    for (size_t r = 0; r < rows; ++r) sql += (r ? ", " : "") + one;
    return sql + " ON CONFLICT (uuid) DO NOTHING";
}
constexpr const char* kUpdateHead =
    "INSERT INTO chain_heads (chain, seq, hash, uuid) VALUES (?, ?, ?, ?)"
    " ON CONFLICT (chain) DO UPDATE SET seq = excluded.seq, hash = excluded.hash,"
    " uuid = excluded.uuid WHERE chain_heads.seq < excluded.seq";

const std::string& Text(const SqlRow& row, size_t column) {
    static const std::string empty;
    return column < row.size() && row[column] ? *row[column] : empty;
}

int64_t Integer(const SqlRow& row, size_t column) {
    const std::string& text = Text(row, column);
    int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

}  // namespace

RecordStore::RecordStore(std::unique_ptr<SqlConnection> db, int upToVersion) : db_(std::move(db)) {
    const SchemaState state = PrepareSchema(*db_, upToVersion);
    version_ = state.version;
    chain_ = state.chain;
}

std::unique_ptr<RecordStore> RecordStore::OpenLocal(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return std::make_unique<RecordStore>(OpenSqlite((folder / kHistoryFileName).string()));
}

std::unique_ptr<RecordStore> RecordStore::OpenServer(const std::string& uri,
                                                     int connectTimeoutSeconds) {
    return std::make_unique<RecordStore>(OpenPostgres(uri, connectTimeoutSeconds));
}

StoredRecord RecordStore::rowFrom(const SqlRow& row) const {
    StoredRecord r;
    r.uuid = Text(row, 0);
    r.link = {Text(row, 1), Integer(row, 2), Text(row, 3)};
    r.hash = Text(row, 4);
    r.content = Text(row, 5);
    IndexColumns& c = r.columns;
    c.kind = Text(row, 6);
    c.time = Text(row, 7);
    c.station = Text(row, 8);
    c.serial = Text(row, 9);
    c.address = Text(row, 10);
    c.axis = Text(row, 11);
    c.file = Text(row, 12);
    c.fileSha256 = Text(row, 13);
    c.outcome = Text(row, 14);
    c.follows = Text(row, 15);
    c.run = Text(row, 16);
    c.imported = Integer(row, 17);
    return r;
}

namespace {

void AddInsertParams(SqlParams& p, const StoredRecord& r, int version) {
    const IndexColumns& c = r.columns;
    for (SqlValue v :
         {SqlValue(r.uuid), SqlValue(r.link.chain), SqlValue(r.link.seq), SqlValue(r.link.prevHash),
          SqlValue(r.hash), SqlValue(r.content), SqlValue(c.kind), SqlValue(c.time),
          SqlValue(c.station), SqlValue(c.serial), SqlValue(c.address), SqlValue(c.axis),
          SqlValue(c.file), SqlValue(c.fileSha256), SqlValue(c.outcome)})
        p.push_back(std::move(v));
    if (version >= 2) {
        p.emplace_back(c.follows);
        p.emplace_back(c.run);
        p.emplace_back(c.imported);
    }
}

}  // namespace

StoredRecord RecordStore::append(Record record) {
    std::vector<Record> one;
    one.push_back(std::move(record));
    return appendAll(std::move(one)).front();
}

std::vector<StoredRecord> RecordStore::appendAll(std::vector<Record> records) {
    SqlTransaction transaction(*db_, true);
    if (db_->dialect() == Dialect::Postgres)
        db_->exec("SELECT pg_advisory_xact_lock(hashtext(?))", {chain_});
    const auto last =
        version_ >= 2
            ? db_->query("SELECT seq, hash FROM chain_heads WHERE chain = ?", {chain_})
            : db_->query("SELECT seq, hash FROM records WHERE chain = ? ORDER BY seq DESC LIMIT 1",
                         {chain_});
    int64_t seq = last.empty() ? 0 : Integer(last[0], 0);
    std::string hash = last.empty() ? std::string() : Text(last[0], 1);
    std::vector<StoredRecord> rows;
    rows.reserve(records.size());
    for (Record& record : records) {
        if (record.uuid.empty()) record.uuid = RandomUuid();
        rows.push_back(Chained(record, chain_, seq, hash));
        seq = rows.back().link.seq;
        hash = rows.back().hash;
    }
    if (insert(rows) != static_cast<int64_t>(rows.size()))
        throw StoreError("Cannot store the records in " + where() +
                         ": a record with one of their UUIDs is there already");
    transaction.commit();
    return rows;
}

int64_t RecordStore::putAll(const std::vector<StoredRecord>& rows) {
    for (const StoredRecord& row : rows)
        if (auto wrong = RowFault(row)) throw StoreError("Not copied: " + *wrong);
    SqlTransaction transaction(*db_, true);
    const int64_t added = insert(rows);
    if (added < static_cast<int64_t>(rows.size())) {
        // Some were there already: the same records, or a forgery.
        for (const StoredRecord& row : rows) {
            const auto there = db_->query("SELECT hash FROM records WHERE uuid = ?", {row.uuid});
            if (there.empty() || Text(there[0], 0) != row.hash)
                throw StoreError("Record " + row.uuid + " is in " + where() +
                                 " already, with other content");
        }
    }
    transaction.commit();
    return added;
}

int64_t RecordStore::insert(const std::vector<StoredRecord>& rows) {
    int64_t added = 0;
    for (size_t start = 0; start < rows.size(); start += kRowsPerInsert) {
        const size_t count = std::min(kRowsPerInsert, rows.size() - start);
        SqlParams params;
        params.reserve(count * 18);
        for (size_t i = start; i < start + count; ++i) AddInsertParams(params, rows[i], version_);
        added += db_->exec(InsertSql(version_, count), params);
    }
    if (version_ < 2) return added;
    // Each chain's last record, once.
    std::map<std::string, const StoredRecord*> last;
    for (const StoredRecord& row : rows) {
        const StoredRecord*& end = last[row.link.chain];
        if (!end || end->link.seq < row.link.seq) end = &row;
    }
    for (const auto& [chain, row] : last)
        db_->exec(kUpdateHead, {chain, row->link.seq, row->hash, row->uuid});
    return added;
}

std::vector<StoredRecord> RecordStore::list(const RecordFilter& f) {
    std::string sql = Select(version_, f.withContent);
    SqlParams params;
    const char* joiner = " WHERE ";
    const auto where = [&](const char* condition, SqlValue value) {
        sql += joiner;
        sql += condition;
        joiner = " AND ";
        params.push_back(std::move(value));
    };
    if (!f.serial.empty()) where("serial = ?", ColumnText(f.serial));
    if (!f.address.empty()) where("address = ?", ColumnText(f.address));
    if (!f.fileSha256.empty()) where("file_sha256 = ?", ColumnText(f.fileSha256));
    if (!f.outcome.empty()) where("outcome = ?", ColumnText(f.outcome));
    if (f.kind) where("kind = ?", std::string(KindName(*f.kind)));
    if (!f.since.empty()) where("time >= ?", f.since);
    if (!f.until.empty()) where("time < ?", f.until);
    sql += " ORDER BY time DESC, seq DESC";
    if (f.limit > 0) {
        sql += " LIMIT ?";
        params.emplace_back(f.limit);
    }
    std::vector<StoredRecord> out;
    db_->queryEach(sql, params, [&](const SqlRow& row) {
        out.push_back(rowFrom(row));
        return true;
    });
    return out;
}

std::optional<StoredRecord> RecordStore::find(const std::string& given) {
    std::string uuidOrPrefix = given;
    std::transform(uuidOrPrefix.begin(), uuidOrPrefix.end(), uuidOrPrefix.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // A UUID's characters only: a prefix with '%' or '_' would match others.
    const bool plain =
        !uuidOrPrefix.empty() && std::all_of(uuidOrPrefix.begin(), uuidOrPrefix.end(), [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || c == '-';
        });
    if (!plain) return std::nullopt;
    const std::string select = Select(version_, true);
    auto rows = db_->query(select + " WHERE uuid = ?", {uuidOrPrefix});
    if (rows.empty() && uuidOrPrefix.size() < 36)
        rows = db_->query(select + " WHERE uuid LIKE ? LIMIT 2", {uuidOrPrefix + "%"});
    if (rows.size() != 1) return std::nullopt;
    return rowFrom(rows[0]);
}

int64_t RecordStore::count() {
    const auto rows = db_->query("SELECT COUNT(*) FROM records");
    return rows.empty() ? 0 : Integer(rows[0], 0);
}

CheckReport RecordStore::check() {
    SqlTransaction transaction(*db_, false);  // one consistent view
    ChainChecker checker;
    db_->queryEach(Select(version_, true) + " ORDER BY chain, seq", {},
                   [&](const SqlRow& row) { return checker.feed(rowFrom(row)); });
    std::vector<ChainHead> heads;
    if (version_ >= 2)
        for (const SqlRow& row : db_->query("SELECT chain, seq, hash, uuid FROM chain_heads"))
            heads.push_back({Text(row, 0), Integer(row, 1), Text(row, 2), Text(row, 3)});
    CheckReport report = checker.finish(heads);
    transaction.commit();
    return report;
}

std::vector<StoredRecord> RecordStore::pending(const std::string& server, int64_t limit) {
    std::vector<StoredRecord> out;
    db_->queryEach(Select(version_, true) +
                       " r WHERE NOT EXISTS (SELECT 1 FROM sent s WHERE s.server = ? AND s.uuid = "
                       "r.uuid) ORDER BY chain, seq LIMIT ?",
                   {server, limit}, [&](const SqlRow& row) {
                       out.push_back(rowFrom(row));
                       return true;
                   });
    return out;
}

int64_t RecordStore::pendingCount(const std::string& server) {
    const auto rows = db_->query(
        "SELECT COUNT(*) FROM records r WHERE NOT EXISTS"
        " (SELECT 1 FROM sent s WHERE s.server = ? AND s.uuid = r.uuid)",
        {server});
    return rows.empty() ? 0 : Integer(rows[0], 0);
}

void RecordStore::markSent(const std::string& server, const std::vector<std::string>& uuids) {
    SqlTransaction transaction(*db_, true);
    const std::string now = UtcNow();
    for (const std::string& uuid : uuids)
        db_->exec(
            "INSERT INTO sent (server, uuid, time) VALUES (?, ?, ?)"
            " ON CONFLICT (server, uuid) DO NOTHING",
            {server, uuid, now});
    transaction.commit();
}

}  // namespace clinora::records
