// The shared engine: a PostgreSQL server over libpq.
#include <libpq-fe.h>

#include <map>
#include <memory>

#include "records/sql_connection.h"

namespace clinora::records {

namespace {

struct ResultFree {
    void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultFree>;

// The first line of libpq's message: the rest repeats it or gives hints.
std::string FirstLine(const char* text) {
    std::string s = text ? text : "";
    if (const size_t end = s.find('\n'); end != std::string::npos) s.resize(end);
    if (s.rfind("ERROR:  ", 0) == 0) s.erase(0, 8);
    return s.empty() ? "no reason given" : s;
}

// '?' placeholders as PostgreSQL's $1, $2 ...
std::string Numbered(std::string_view sql) {
    std::string out;
    int n = 0;
    for (const char c : sql) {
        if (c == '?')
            out += "$" + std::to_string(++n);
        else
            out += c;
    }
    return out;
}

class PostgresConnection final : public SqlConnection {
public:
    PostgresConnection(const std::string& uri, int connectTimeoutSeconds)
        : shown_(UriWithoutPassword(uri)) {
        const std::string timeout = std::to_string(connectTimeoutSeconds);
        const char* keys[] = {"dbname", "connect_timeout", "application_name", "client_encoding",
                              nullptr};
        const char* values[] = {uri.c_str(), timeout.c_str(), "clinora", "UTF8", nullptr};
        db_ = PQconnectdbParams(keys, values, 1);
        if (!db_ || PQstatus(db_) != CONNECTION_OK) {
            const std::string reason = FirstLine(db_ ? PQerrorMessage(db_) : "out of memory");
            PQfinish(db_);
            db_ = nullptr;
            throw StoreError("Cannot reach " + where() + ": " + reason, true);
        }
        // Notices (e.g. "relation already exists, skipping") are not for the operator.
        PQsetNoticeProcessor(
            db_, [](void*, const char*) {}, nullptr);
    }
    ~PostgresConnection() override { PQfinish(db_); }

    Dialect dialect() const override { return Dialect::Postgres; }
    std::string where() const override { return "the history server " + shown_; }

    int64_t exec(std::string_view sql, const SqlParams& params) override {
        Values values(params);
        // Statements without parameters (transaction control, schema) run as
        // they are; the others are prepared once and kept.
        Result r(params.empty() ? PQexec(db_, std::string(sql).c_str())
                                : PQexecPrepared(db_, prepared(sql).c_str(), values.count(),
                                                 values.pointers(), nullptr, nullptr, 0));
        check(r.get(), PGRES_COMMAND_OK, PGRES_TUPLES_OK);
        const char* changed = PQcmdTuples(r.get());
        return changed && *changed ? std::stoll(changed) : 0;
    }

    void queryEach(std::string_view sql, const SqlParams& params,
                   const std::function<bool(const SqlRow&)>& each) override {
        Values values(params);
        const std::string name = prepared(sql);
        if (!PQsendQueryPrepared(db_, name.c_str(), values.count(), values.pointers(), nullptr,
                                 nullptr, 0))
            lost();
        PQsetSingleRowMode(db_);
        // Every result must be taken, also after a failure or when `each`
        // has seen enough, before the connection takes the next statement.
        std::optional<StoreError> failure;
        bool wanted = true;
        SqlRow row;
        while (PGresult* raw = PQgetResult(db_)) {
            Result r(raw);
            const ExecStatusType status = PQresultStatus(raw);
            if (status == PGRES_SINGLE_TUPLE && wanted && !failure) {
                const int columns = PQnfields(raw);
                row.assign(static_cast<size_t>(columns), std::nullopt);
                for (int c = 0; c < columns; ++c)
                    if (!PQgetisnull(raw, 0, c))
                        row[static_cast<size_t>(c)] = std::string(
                            PQgetvalue(raw, 0, c), static_cast<size_t>(PQgetlength(raw, 0, c)));
                wanted = each(row);
            } else if (status != PGRES_SINGLE_TUPLE && status != PGRES_TUPLES_OK && !failure) {
                failure = error(raw);
            }
        }
        if (failure) throw *failure;
    }

    void begin(bool) override { exec("BEGIN", {}); }

private:
    // The parameters as the texts libpq takes.
    class Values {
    public:
        explicit Values(const SqlParams& params) {
            texts_.reserve(params.size());
            for (const SqlValue& p : params) {
                if (const auto* n = std::get_if<int64_t>(&p)) {
                    texts_.push_back(std::to_string(*n));
                } else if (const auto* t = std::get_if<std::string>(&p)) {
                    texts_.push_back(*t);
                } else {
                    texts_.emplace_back();
                }
            }
            for (size_t i = 0; i < params.size(); ++i)
                pointers_.push_back(std::holds_alternative<std::monostate>(params[i])
                                        ? nullptr
                                        : texts_[i].c_str());
        }
        int count() const { return static_cast<int>(pointers_.size()); }
        const char* const* pointers() const { return pointers_.data(); }

    private:
        std::vector<std::string> texts_;
        std::vector<const char*> pointers_;
    };

    [[noreturn]] void lost() const {
        throw StoreError("Lost " + where() + ": " + FirstLine(PQerrorMessage(db_)), true);
    }

    StoreError error(const PGresult* r) const {
        const bool gone = PQstatus(db_) != CONNECTION_OK;
        const std::string reason = FirstLine(r ? PQresultErrorMessage(r) : PQerrorMessage(db_));
        return StoreError((gone ? "Lost " : "Refused by ") + where() + ": " + reason, gone);
    }

    void check(const PGresult* r, ExecStatusType ok1, ExecStatusType ok2) const {
        if (!r) lost();
        const ExecStatusType status = PQresultStatus(r);
        if (status != ok1 && status != ok2) throw error(r);
    }

    // The name of `sql`'s prepared statement (prepared on first use).
    std::string prepared(std::string_view sql) {
        const auto it = statements_.find(sql);
        if (it != statements_.end()) return it->second;
        const std::string name = "s" + std::to_string(statements_.size() + 1);
        Result r(PQprepare(db_, name.c_str(), Numbered(sql).c_str(), 0, nullptr));
        check(r.get(), PGRES_COMMAND_OK, PGRES_COMMAND_OK);
        statements_.emplace(std::string(sql), name);
        return name;
    }

    std::string shown_;
    PGconn* db_ = nullptr;
    std::map<std::string, std::string, std::less<>> statements_;
};

}  // namespace

std::unique_ptr<SqlConnection> OpenPostgres(const std::string& uri, int connectTimeoutSeconds) {
    return std::make_unique<PostgresConnection>(uri, connectTimeoutSeconds);
}

std::string UriWithoutPassword(const std::string& uri) {
    std::string out = uri;
    for (const char* scheme : {"postgresql://", "postgres://"}) {
        const std::string prefix = scheme;
        if (out.rfind(prefix, 0) != 0) continue;
        const size_t start = prefix.size();
        const size_t end = out.find_first_of("/?", start);
        const size_t at = out.rfind('@', end == std::string::npos ? out.size() : end);
        if (at != std::string::npos && at >= start) {
            const size_t colon = out.find(':', start);
            if (colon != std::string::npos && colon < at) out.erase(colon, at - colon);
        }
        break;
    }
    // A password given as a parameter ("?password=..." or "password=...").
    for (size_t p = out.find("password="); p != std::string::npos; p = out.find("password=", p)) {
        const size_t valueStart = p + 9;
        const size_t valueEnd = out.find_first_of("& ", valueStart);
        out.replace(valueStart,
                    (valueEnd == std::string::npos ? out.size() : valueEnd) - valueStart, "***");
        p = valueStart;
    }
    return out;
}

}  // namespace clinora::records
