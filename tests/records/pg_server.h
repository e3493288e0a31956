#pragma once

#include <string>

namespace clinora::testing {

// The throw-away PostgreSQL server of a test binary (scripts/pg_temp.sh).
// Under ctest the fixture "records_pg" starts one for all the binaries' tests
// (CLINORA_TEST_PG_HOST may name another's folder); without it, a binary
// starts its own at the first use and stops it at exit.
class PgServer {
public:
    // The shared server (started on first use).
    static PgServer& Shared();
    // A server of its own in `folder`, which a test may stop and start.
    explicit PgServer(std::string folder, bool owned = true);
    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    bool start();  // false (with the script's words on standard error) when it cannot
    // Stops the server process only, and starts it again on the same data.
    void stop();
    bool resume();
    const std::string& folder() const { return folder_; }

    // A new empty database on the server, for one test; its connection URI.
    std::string newDatabase();
    std::string uri(const std::string& database = "clinora") const;

private:
    std::string folder_;
    bool owned_;
    bool running_ = false;
};

}  // namespace clinora::testing
