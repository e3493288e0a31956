#include "records/store_schema.h"

#include <algorithm>

#include "link/number_text.h"
#include "records/digest.h"
#include "records/record.h"
#include "records/record_store.h"
#include "records/utc_time.h"

namespace clinora::records {

namespace {

// Version 1: the records with their chain links and search columns, the
// store's own facts and the marks of records copied to a server.
const char* const kVersion1[] = {
    ("CREATE TABLE records ("
     " uuid TEXT PRIMARY KEY, chain TEXT NOT NULL, seq BIGINT NOT NULL,"
     " prev_hash TEXT NOT NULL, hash TEXT NOT NULL,"
     " kind TEXT NOT NULL, time TEXT NOT NULL, station TEXT NOT NULL, serial TEXT NOT NULL,"
     " address TEXT NOT NULL, axis TEXT NOT NULL, file TEXT NOT NULL,"
     " file_sha256 TEXT NOT NULL, outcome TEXT NOT NULL, content TEXT NOT NULL,"
     " UNIQUE (chain, seq))"),
    "CREATE INDEX records_serial ON records (serial, time)",
    ("CREATE TABLE sent (server TEXT NOT NULL, uuid TEXT NOT NULL, time TEXT NOT NULL,"
     " PRIMARY KEY (server, uuid))"),
};

// Version 2: what a record follows, its run and the imported mark as columns;
// each chain's last record, so that a record missing at the end is noticed.
const char* const kVersion2[] = {
    "ALTER TABLE records ADD COLUMN follows TEXT NOT NULL DEFAULT ''",
    "ALTER TABLE records ADD COLUMN run TEXT NOT NULL DEFAULT ''",
    "ALTER TABLE records ADD COLUMN imported BIGINT NOT NULL DEFAULT 0",
    ("CREATE TABLE chain_heads (chain TEXT PRIMARY KEY, seq BIGINT NOT NULL,"
     " hash TEXT NOT NULL, uuid TEXT NOT NULL)"),
    "CREATE INDEX records_time ON records (time)",
    "CREATE INDEX records_address ON records (address, time)",
    "CREATE INDEX records_follows ON records (follows)",
    "CREATE INDEX records_file_sha256 ON records (file_sha256)",
    ("INSERT INTO chain_heads (chain, seq, hash, uuid)"
     " SELECT chain, seq, hash, uuid FROM records r"
     " WHERE seq = (SELECT MAX(seq) FROM records m WHERE m.chain = r.chain)"),
};

void Run(SqlConnection& db, const char* const* statements, size_t count) {
    for (size_t i = 0; i < count; ++i) db.exec(statements[i], {});
}

std::string Meta(SqlConnection& db, const char* key) {
    const auto rows = db.query("SELECT value FROM meta WHERE key = ?", {std::string(key)});
    return rows.empty() || !rows[0][0] ? std::string() : *rows[0][0];
}

void SetMeta(SqlConnection& db, const char* key, const std::string& value) {
    db.exec(
        "INSERT INTO meta (key, value) VALUES (?, ?)"
        " ON CONFLICT (key) DO UPDATE SET value = excluded.value",
        {std::string(key), value});
}

// The new columns of version 2 are taken from each record's content. A
// record whose content cannot be read keeps the defaults; check names it.
void FillVersion2Columns(SqlConnection& db) {
    std::vector<std::pair<std::string, std::string>> rows;
    db.queryEach("SELECT uuid, content FROM records", {}, [&](const SqlRow& row) {
        rows.emplace_back(row[0].value_or(""), row[1].value_or(""));
        return true;
    });
    for (const auto& [uuid, content] : rows) {
        try {
            const Record r = RecordFromContent(content);
            db.exec("UPDATE records SET follows = ?, run = ?, imported = ? WHERE uuid = ?",
                    {r.follows, r.run, int64_t{r.imported ? 1 : 0}, uuid});
        } catch (const JsonError&) {
        }
    }
}

// The state of a store that needs no step, read without taking the write lock.
std::optional<SchemaState> Ready(SqlConnection& db, int upToVersion) {
    const bool hasMeta =
        db.dialect() == SqlConnection::Dialect::Sqlite
            ? !db.query("SELECT name FROM sqlite_master WHERE type = 'table' AND name = 'meta'")
                   .empty()
            : db.query("SELECT to_regclass('meta') IS NOT NULL").at(0).at(0) == std::string("t");
    if (!hasMeta) return std::nullopt;
    const auto version = ParseWholeInt(Meta(db, "schema_version"));
    const int wanted = std::min(upToVersion, kSchemaVersion);
    if (!version || *version != wanted) return std::nullopt;
    return SchemaState{*version, Meta(db, "chain")};
}

}  // namespace

SchemaState PrepareSchema(SqlConnection& db, int upToVersion) {
    if (auto ready = Ready(db, upToVersion)) return *ready;
    SqlTransaction transaction(db, true);
    if (db.dialect() == SqlConnection::Dialect::Postgres)
        db.exec("SELECT pg_advisory_xact_lock(7262031024)", {});  // one schema step at a time
    db.exec("CREATE TABLE IF NOT EXISTS meta (key TEXT PRIMARY KEY, value TEXT NOT NULL)", {});

    SchemaState state;
    const std::string stored = Meta(db, "schema_version");
    const std::optional<int> version = stored.empty() ? 0 : ParseWholeInt(stored);
    if (!version || *version < 0)
        throw StoreError(db.where() + " is damaged: its schema version reads '" + stored + "'");
    state.version = *version;
    if (state.version > kSchemaVersion)
        throw StoreError(db.where() + " was made by a newer program (schema version " + stored +
                         "); this program knows versions up to " + std::to_string(kSchemaVersion));
    for (int v = state.version + 1; v <= upToVersion && v <= kSchemaVersion; ++v) {
        if (v == 1) {
            Run(db, kVersion1, std::size(kVersion1));
            SetMeta(db, "chain", RandomUuid());
            SetMeta(db, "created", UtcNow());
        } else if (v == 2) {
            Run(db, kVersion2, std::size(kVersion2) - 1);
            FillVersion2Columns(db);
            Run(db, kVersion2 + std::size(kVersion2) - 1, 1);
        }
        SetMeta(db, "schema_version", std::to_string(v));
        state.version = v;
    }
    state.chain = Meta(db, "chain");
    transaction.commit();
    return state;
}

}  // namespace clinora::records
