#include "records/record_sender.h"

#include <algorithm>
#include <chrono>

namespace clinora::records {

std::string ServerName(const std::string& uri) { return UriWithoutPassword(uri); }

SyncResult SyncPending(RecordStore& local, RecordStore& server, const std::string& name,
                       int64_t batch) {
    SyncResult result;
    result.reached = true;
    for (;;) {
        const std::vector<StoredRecord> rows = local.pending(name, batch);
        if (rows.empty()) break;
        result.sent += server.putAll(rows);
        result.copied += static_cast<int64_t>(rows.size());
        std::vector<std::string> uuids;
        uuids.reserve(rows.size());
        for (const StoredRecord& row : rows) uuids.push_back(row.uuid);
        local.markSent(name, uuids);
    }
    return result;
}

SyncResult SyncPending(const std::filesystem::path& folder, const std::string& uri,
                       int connectTimeoutSeconds) {
    SyncResult result;
    try {
        auto local = RecordStore::OpenLocal(folder);
        std::unique_ptr<RecordStore> server;
        try {
            server = RecordStore::OpenServer(uri, connectTimeoutSeconds);
        } catch (const StoreError& e) {
            result.error = e.what();
            result.pending = local->pendingCount(ServerName(uri));
            return result;
        }
        result = SyncPending(*local, *server, ServerName(uri));
        result.pending = local->pendingCount(ServerName(uri));
    } catch (const StoreError& e) {
        result.error = e.what();
    }
    return result;
}

RecordSender::RecordSender(std::filesystem::path folder, std::string uri,
                           std::function<void(const SyncResult&)> report, Options options)
    : folder_(std::move(folder)),
      uri_(std::move(uri)),
      report_(std::move(report)),
      options_(options),
      thread_([this] { run(); }) {}

RecordSender::~RecordSender() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wakeUp_.notify_all();
    thread_.join();
}

void RecordSender::wake() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        woken_ = true;
    }
    wakeUp_.notify_all();
}

SyncResult RecordSender::pass() {
    SyncResult result;
    try {
        if (!local_) local_ = RecordStore::OpenLocal(folder_);
        if (!server_) server_ = RecordStore::OpenServer(uri_, options_.connectTimeoutSeconds);
        result = SyncPending(*local_, *server_, ServerName(uri_));
        result.pending = local_->pendingCount(ServerName(uri_));
    } catch (const StoreError& e) {
        result.error = e.what();
        result.reached = server_ != nullptr && !e.unreachable();
        // A lost connection is made again on the next pass; a local failure
        // (disk, lock) likewise reopens the file.
        server_.reset();
        local_.reset();
    }
    return result;
}

void RecordSender::run() {
    int pause = options_.retryMs;
    bool lastReached = true;
    bool first = true;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_) return;
            woken_ = false;
        }
        const SyncResult result = pass();
        const bool ok = result.error.empty();
        if (first || result.sent > 0 || !ok || ok != lastReached) report_(result);
        first = false;
        lastReached = ok;
        const int wait = ok ? options_.idleMs : pause;
        pause = ok ? options_.retryMs : std::min(pause * 2, options_.maxRetryMs);
        std::unique_lock<std::mutex> lock(mutex_);
        wakeUp_.wait_for(lock, std::chrono::milliseconds(wait), [this] { return stop_ || woken_; });
    }
}

}  // namespace clinora::records
