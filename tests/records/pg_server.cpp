#include "pg_server.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "records/sql_connection.h"

namespace clinora::testing {

namespace {

bool Script(const std::string& arguments) {
    const std::string command =
        std::string("bash '") + CLINORA_PG_SCRIPT + "' " + arguments + " >/dev/null";
    return std::system(command.c_str()) == 0;
}

// A folder others may enter: the server runs as the postgres user when the
// tests run as root.
std::string OwnFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "clinora-pg-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    std::filesystem::permissions(pattern, std::filesystem::perms::owner_all |
                                              std::filesystem::perms::group_exec |
                                              std::filesystem::perms::others_exec);
    return pattern + "/pg";
}

}  // namespace

PgServer& PgServer::Shared() {
    static std::unique_ptr<PgServer> shared = [] {
        // The fixture's server, when it runs.
        const char* host = std::getenv("CLINORA_TEST_PG_HOST");
        const std::string fixture = host && *host ? host : CLINORA_PG_FIXTURE_DIR;
        if (std::filesystem::exists(fixture + "/.s.PGSQL.5432")) {
            auto shared = std::make_unique<PgServer>(fixture, false);
            try {
                records::OpenPostgres(shared->uri(), 2);
                return shared;
            } catch (const records::StoreError&) {
                // A folder left by a server that is gone.
            }
        }
        auto own = std::make_unique<PgServer>(OwnFolder(), true);
        if (!own->start())
            throw std::runtime_error("cannot start a PostgreSQL server for the tests");
        return own;
    }();
    return *shared;
}

PgServer::PgServer(std::string folder, bool owned) : folder_(std::move(folder)), owned_(owned) {
    running_ = !owned_;
}

PgServer::~PgServer() {
    // A forked child ends with _exit and never gets here; only the owner stops it.
    if (owned_ && running_) Script("stop '" + folder_ + "'");
    if (owned_) {
        std::error_code ec;
        std::filesystem::remove_all(std::filesystem::path(folder_).parent_path(), ec);
    }
}

bool PgServer::start() {
    running_ = Script("start '" + folder_ + "'");
    return running_;
}

void PgServer::stop() { Script("pause '" + folder_ + "'"); }

bool PgServer::resume() { return Script("resume '" + folder_ + "'"); }

std::string PgServer::uri(const std::string& database) const {
    return "postgresql://clinora@/" + database + "?host=" + folder_;
}

std::string PgServer::newDatabase() {
    static std::atomic<int> counter{0};
    const std::string name = "t" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
    records::OpenPostgres(uri())->exec("CREATE DATABASE " + name, {});
    return uri(name);
}

}  // namespace clinora::testing
