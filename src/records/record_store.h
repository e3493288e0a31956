#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "records/record.h"
#include "records/record_chain.h"
#include "records/sql_connection.h"

namespace clinora::records {

// The station's own store in the working folder.
inline constexpr const char* kHistoryFileName = "history.sqlite";

// The schema this program writes. Version 1 had no follows/run/imported
// columns and no chain heads; opening a store brings it up to this version.
inline constexpr int kSchemaVersion = 2;

// Which records a listing takes; empty members take any value.
struct RecordFilter {
    std::string serial{}, address{}, fileSha256{}, outcome{};
    std::optional<RecordKind> kind{};
    std::string since{}, until{};  // UTC bounds: since <= time < until
    int64_t limit = 0;             // 0: all
    bool withContent = false;      // the records' content too (a board's timeline)
};

// Records in a database: the same schema and rules on both engines. Records
// are only ever added; a store never changes one in place. Every method
// throws StoreError when the database fails.
class RecordStore {
public:
    // Brings the schema up to `upToVersion` (tests build older versions).
    explicit RecordStore(std::unique_ptr<SqlConnection> db, int upToVersion = kSchemaVersion);

    // history.sqlite in `folder` (made when missing, with the folder).
    static std::unique_ptr<RecordStore> OpenLocal(const std::filesystem::path& folder);
    // A shared server by its connection URI.
    static std::unique_ptr<RecordStore> OpenServer(const std::string& uri,
                                                   int connectTimeoutSeconds = 10);

    std::string where() const { return db_->where(); }
    int schemaVersion() const { return version_; }
    // This store's own chain.
    const std::string& chain() const { return chain_; }

    // Adds a record of this station at the end of its chain, in one
    // transaction. A record without a UUID gets a new one.
    StoredRecord append(Record record);
    // Adds several records of this station in one transaction (an import).
    std::vector<StoredRecord> appendAll(std::vector<Record> records);
    // Adds records copied from another store, in one transaction; a record
    // already here (by UUID) is skipped. Returns how many were new. A damaged
    // record, or one whose UUID is here with other content, is refused.
    int64_t putAll(const std::vector<StoredRecord>& rows);

    // Newest first. The records come without their content unless the
    // filter asks for it.
    std::vector<StoredRecord> list(const RecordFilter& filter);
    // One record with its content, by UUID (either case) or by the start of
    // one when only one record's UUID starts so.
    std::optional<StoredRecord> find(const std::string& uuidOrPrefix);
    int64_t count();

    // Reads every record and checks contents, hashes and chains.
    CheckReport check();

    // The records not yet copied to `server` (a name from UriWithoutPassword),
    // in chain order, and the marks that they were.
    std::vector<StoredRecord> pending(const std::string& server, int64_t limit);
    int64_t pendingCount(const std::string& server);
    void markSent(const std::string& server, const std::vector<std::string>& uuids);

    SqlConnection& connection() { return *db_; }

private:
    StoredRecord rowFrom(const SqlRow& row) const;
    // Inserts rows (skipping UUIDs already here) and moves the chain heads;
    // the number inserted.
    int64_t insert(const std::vector<StoredRecord>& rows);

    std::unique_ptr<SqlConnection> db_;
    int version_ = 0;
    std::string chain_;
};

}  // namespace clinora::records
