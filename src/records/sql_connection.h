#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace clinora::records {

// What went wrong with a store, in words for the operator ("Cannot write the
// records file ...: the disk is full"). `unreachable` marks a server that
// could not be reached or refused the login: worth trying again later.
class StoreError : public std::runtime_error {
public:
    explicit StoreError(const std::string& text, bool unreachable = false)
        : std::runtime_error(text), unreachable_(unreachable) {}
    bool unreachable() const { return unreachable_; }

private:
    bool unreachable_;
};

// A parameter of a statement. Values always travel as bound parameters; the
// SQL texts are constants of this library.
using SqlValue = std::variant<std::monostate, int64_t, std::string>;
using SqlParams = std::vector<SqlValue>;
// A result row: each column as text, nothing for NULL.
using SqlRow = std::vector<std::optional<std::string>>;

// One connection to a database engine. Statements are written with '?' for
// each parameter, in the dialect both engines understand. Every failure
// throws StoreError.
class SqlConnection {
public:
    enum class Dialect { Sqlite, Postgres };

    virtual ~SqlConnection() = default;
    virtual Dialect dialect() const = 0;
    // The store in words, for messages: "the records file /x/history.sqlite".
    virtual std::string where() const = 0;

    // Runs a statement; returns the number of rows it changed.
    virtual int64_t exec(std::string_view sql, const SqlParams& params = {}) = 0;
    // Runs a query and hands each row to `each` as it is read, until `each`
    // returns false.
    virtual void queryEach(std::string_view sql, const SqlParams& params,
                           const std::function<bool(const SqlRow&)>& each) = 0;
    std::vector<SqlRow> query(std::string_view sql, const SqlParams& params = {});

    // A transaction that writes takes the write lock at its start.
    virtual void begin(bool writes) = 0;
    void commit() { exec("COMMIT"); }
    void rollback() noexcept;
};

// Commits at commit(), rolls back when left otherwise (an exception).
class SqlTransaction {
public:
    SqlTransaction(SqlConnection& db, bool writes) : db_(db) { db_.begin(writes); }
    ~SqlTransaction() {
        if (!done_) db_.rollback();
    }
    SqlTransaction(const SqlTransaction&) = delete;
    SqlTransaction& operator=(const SqlTransaction&) = delete;
    void commit() {
        db_.commit();
        done_ = true;
    }

private:
    SqlConnection& db_;
    bool done_ = false;
};

// The embedded engine: a SQLite file, WAL journal, synchronous commits.
// `create`: make the file when it is missing.
std::unique_ptr<SqlConnection> OpenSqlite(const std::string& path, bool create = true);

// The shared engine: a PostgreSQL server named by a connection URI
// ("postgresql://calib@labserver/clinora"). `connectTimeoutSeconds` bounds the
// wait for an unreachable server.
std::unique_ptr<SqlConnection> OpenPostgres(const std::string& uri, int connectTimeoutSeconds = 10);

// A connection URI as it may be shown: without a password.
std::string UriWithoutPassword(const std::string& uri);

}  // namespace clinora::records
