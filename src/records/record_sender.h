#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "records/record_store.h"

namespace clinora::records {

// What one pass of copying records to the server did.
struct SyncResult {
    bool reached = false;  // the server answered
    int64_t sent = 0;      // records new on the server
    int64_t copied = 0;    // records handed over (some may have been there already)
    int64_t pending = 0;   // records still to copy after the pass
    std::string error;     // in words, when the pass stopped early
};

// Copies every record of `local` not yet marked as sent to `server`, oldest
// first, `batch` records per server transaction; each batch is marked in
// `local` once the server has committed it. A record the server has already
// (sent before a crash) is skipped there, so a pass may be repeated at any time.
SyncResult SyncPending(RecordStore& local, RecordStore& server, const std::string& serverName,
                       int64_t batch = 500);
// The same, opening both stores; an unreachable server gives reached = false.
SyncResult SyncPending(const std::filesystem::path& folder, const std::string& uri,
                       int connectTimeoutSeconds = 10);

// The name under which a station marks the records sent to the server of
// `uri`: the URI without its password.
std::string ServerName(const std::string& uri);

// Copies the station's records to the server in the background: at start,
// after wake(), and, while the server cannot be reached, again and again
// with growing pauses (`retryMs` doubling up to `maxRetryMs`). Never holds up
// the caller. Reports every pass that sent something or changed the server's
// reachability to `report`, on its own thread.
class RecordSender {
public:
    struct Options {
        int retryMs = 2000;
        int maxRetryMs = 60000;
        int idleMs = 60000;  // looks again for records other programs stored
        int connectTimeoutSeconds = 10;
    };
    RecordSender(std::filesystem::path folder, std::string uri,
                 std::function<void(const SyncResult&)> report, Options options);
    RecordSender(std::filesystem::path folder, std::string uri,
                 std::function<void(const SyncResult&)> report)
        : RecordSender(std::move(folder), std::move(uri), std::move(report), Options{}) {}
    ~RecordSender();
    RecordSender(const RecordSender&) = delete;
    RecordSender& operator=(const RecordSender&) = delete;

    // Send now: a record was stored.
    void wake();

private:
    void run();
    SyncResult pass();

    std::filesystem::path folder_;
    std::string uri_;
    std::function<void(const SyncResult&)> report_;
    Options options_;
    std::unique_ptr<RecordStore> local_, server_;  // sender thread only

    std::mutex mutex_;
    std::condition_variable wakeUp_;
    bool woken_ = false;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace clinora::records
