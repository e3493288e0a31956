// The embedded engine: one SQLite file in WAL mode.
#include <sqlite3.h>

#include <map>

#include "records/sql_connection.h"

namespace clinora::records {

namespace {

// Time another connection (the sender, a second program) may hold the write
// lock before a write gives up.
constexpr int kBusyTimeoutMs = 10000;

// The failure in the operator's words, then SQLite's own.
std::string Words(int code, const char* detail) {
    const char* words = nullptr;
    switch (code & 0xFF) {
        case SQLITE_FULL:
            words = "the disk is full";
            break;
        case SQLITE_READONLY:
            words = "the file or its folder is read-only";
            break;
        case SQLITE_PERM:
        case SQLITE_AUTH:
            words = "permission denied";
            break;
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
            words = "the file is damaged or is not a records file";
            break;
        case SQLITE_CANTOPEN:
            words = "the file cannot be opened";
            break;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            words = "another program keeps it busy";
            break;
        case SQLITE_IOERR:
            words = "a read or write error";
            break;
        default:
            break;
    }
    const std::string own = detail ? detail : "";
    return words ? std::string(words) + " (" + own + ")" : own;
}

class SqliteConnection final : public SqlConnection {
public:
    SqliteConnection(const std::string& path, bool create) : path_(path) {
        const int flags =
            SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
        const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
        if (rc != SQLITE_OK) {
            const std::string text = Words(rc, db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc));
            sqlite3_close(db_);
            db_ = nullptr;
            throw StoreError("Cannot open " + where() + ": " + text);
        }
        sqlite3_extended_result_codes(db_, 1);
        sqlite3_busy_timeout(db_, kBusyTimeoutMs);
        try {
            // WAL: a crash leaves every committed record and none half
            // written; FULL: each commit is on the disk before the call returns.
            queryEach("PRAGMA journal_mode=WAL", {}, [](const SqlRow&) { return false; });
            exec("PRAGMA synchronous=FULL", {});
        } catch (const StoreError&) {
            close();  // a damaged file: the destructor will not run
            throw;
        }
        opened_ = true;
    }
    ~SqliteConnection() override { close(); }

    Dialect dialect() const override { return Dialect::Sqlite; }
    std::string where() const override { return "the records file " + path_; }

    int64_t exec(std::string_view sql, const SqlParams& params) override {
        sqlite3_stmt* s = prepare(sql, params);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        }
        sqlite3_reset(s);
        if (rc != SQLITE_DONE) fail(rc);
        return sqlite3_changes64(db_);
    }

    void queryEach(std::string_view sql, const SqlParams& params,
                   const std::function<bool(const SqlRow&)>& each) override {
        sqlite3_stmt* s = prepare(sql, params);
        struct Reset {
            sqlite3_stmt* s;
            ~Reset() { sqlite3_reset(s); }
        } reset{s};
        SqlRow row;
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            const int columns = sqlite3_column_count(s);
            row.assign(static_cast<size_t>(columns), std::nullopt);
            for (int c = 0; c < columns; ++c) {
                if (sqlite3_column_type(s, c) == SQLITE_NULL) continue;
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
                row[static_cast<size_t>(c)] =
                    std::string(text, static_cast<size_t>(sqlite3_column_bytes(s, c)));
            }
            if (!each(row)) return;
        }
        if (rc != SQLITE_DONE) fail(rc);
    }

    void begin(bool writes) override { exec(writes ? "BEGIN IMMEDIATE" : "BEGIN", {}); }

private:
    void close() {
        for (auto& [sql, statement] : statements_) sqlite3_finalize(statement);
        statements_.clear();
        sqlite3_close(db_);
        db_ = nullptr;
    }

    [[noreturn]] void fail(int rc) const {
        throw StoreError((opened_ ? "Cannot use " : "Cannot open ") + where() + ": " +
                         Words(rc, sqlite3_errmsg(db_)));
    }

    // The statement of `sql` (prepared once, then kept) with `params` bound.
    sqlite3_stmt* prepare(std::string_view sql, const SqlParams& params) {
        auto it = statements_.find(sql);
        if (it == statements_.end()) {
            sqlite3_stmt* s = nullptr;
            const int rc = sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()),
                                              SQLITE_PREPARE_PERSISTENT, &s, nullptr);
            if (rc != SQLITE_OK) fail(rc);
            it = statements_.emplace(std::string(sql), s).first;
        }
        sqlite3_stmt* s = it->second;
        sqlite3_clear_bindings(s);
        for (size_t i = 0; i < params.size(); ++i) {
            const int index = static_cast<int>(i) + 1;
            int rc = SQLITE_OK;
            if (const auto* n = std::get_if<int64_t>(&params[i])) {
                rc = sqlite3_bind_int64(s, index, *n);
            } else if (const auto* t = std::get_if<std::string>(&params[i])) {
                rc = sqlite3_bind_text64(s, index, t->data(), t->size(), SQLITE_TRANSIENT,
                                         SQLITE_UTF8);
            } else {
                rc = sqlite3_bind_null(s, index);
            }
            if (rc != SQLITE_OK) fail(rc);
        }
        return s;
    }

    std::string path_;
    sqlite3* db_ = nullptr;
    bool opened_ = false;  // the file answered the first statements
    std::map<std::string, sqlite3_stmt*, std::less<>> statements_;
};

}  // namespace

std::vector<SqlRow> SqlConnection::query(std::string_view sql, const SqlParams& params) {
    std::vector<SqlRow> rows;
    queryEach(sql, params, [&](const SqlRow& row) {
        rows.push_back(row);
        return true;
    });
    return rows;
}

void SqlConnection::rollback() noexcept {
    try {
        exec("ROLLBACK");
    } catch (const StoreError&) {
        // Nothing was begun, or the connection is gone: nothing to undo.
    }
}

std::unique_ptr<SqlConnection> OpenSqlite(const std::string& path, bool create) {
    return std::make_unique<SqliteConnection>(path, create);
}

}  // namespace clinora::records
