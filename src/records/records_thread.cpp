#include "records/records_thread.h"

#include <algorithm>
#include <chrono>
#include <system_error>

#include "records/digest.h"
#include "records/pending_records.h"

namespace clinora::records {

RecordsThread::RecordsThread(std::filesystem::path folder, RecordsEventSink sink, Options options)
    : folder_(std::move(folder)), sink_(std::move(sink)), options_(std::move(options)) {
    if (!options_.historyServer.empty())
        sender_ = std::make_unique<RecordSender>(
            folder_, options_.historyServer,
            [this](const SyncResult& result) {
                RecordsEvent e;
                e.type = RecordsEvent::Type::Sync;
                e.sync = result;
                e.message = result.error;
                sink_(e);
            },
            options_.sender);
    thread_ = std::thread([this] { run(); });
}

RecordsThread::~RecordsThread() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wakeUp_.notify_all();
    thread_.join();
    sender_.reset();
}

void RecordsThread::tell(RecordsEvent event) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        keptCount_ = static_cast<int64_t>(keptRecords_.size());
    }
    event.kept = static_cast<int64_t>(keptRecords_.size());
    sink_(event);
}

int64_t RecordsThread::post(std::function<void(int64_t)> job) {
    int64_t ticket;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ticket = nextTicket_++;
        jobs_.push_back([job = std::move(job), ticket] { job(ticket); });
    }
    wakeUp_.notify_all();
    return ticket;
}

int64_t RecordsThread::kept() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return keptCount_;
}

RecordStore* RecordsThread::local(std::string& error) {
    if (!store_) {
        try {
            store_ = RecordStore::OpenLocal(folder_);
        } catch (const StoreError& e) {
            error = e.what();
            return nullptr;
        }
    }
    return store_.get();
}

bool RecordsThread::storeKept(size_t fresh) {
    if (keptRecords_.empty()) return true;
    std::string error;
    if (RecordStore* store = local(error)) {
        try {
            // All waiting records in one transaction: a run's records, and a
            // backlog, are stored whole or not at all.
            store->appendAll({keptRecords_.begin(), keptRecords_.end()});
        } catch (const StoreError& e) {
            error = e.what();
            store_.reset();  // opened again on the next try
        }
    }
    if (!error.empty()) {
        keepAsFiles();
        // The records just handed in are named; a retry names the oldest.
        const size_t from = fresh > 0 ? keptRecords_.size() - fresh : 0;
        const size_t to = fresh > 0 ? keptRecords_.size() : 1;
        for (size_t i = from; i < to; ++i) {
            RecordsEvent e;
            e.type = RecordsEvent::Type::Kept;
            e.uuid = keptRecords_[i].uuid;
            e.message = error + "; the record is kept and stored as soon as it can be";
            tell(e);
        }
        return false;
    }
    std::deque<Record> stored;
    stored.swap(keptRecords_);
    for (const auto& path : pendingFiles_) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
    pendingFiles_.clear();
    for (const Record& record : stored) {
        RecordsEvent e;
        e.type = RecordsEvent::Type::Stored;
        e.uuid = record.uuid;
        tell(e);
    }
    if (sender_) sender_->wake();
    return true;
}

void RecordsThread::record(Record r) {
    std::vector<Record> one;
    one.push_back(std::move(r));
    record(std::move(one));
}

void RecordsThread::record(std::vector<Record> records) {
    for (Record& r : records)
        if (r.uuid.empty()) r.uuid = RandomUuid();
    post([this, records = std::move(records)](int64_t) mutable {
        for (Record& r : records) keptRecords_.push_back(std::move(r));
        storeKept(records.size());
    });
}

void RecordsThread::answer(RecordsEvent e,
                           const std::function<void(RecordStore&, RecordsEvent&)>& fill) {
    std::string error;
    try {
        if (RecordStore* store = local(error)) fill(*store, e);
    } catch (const StoreError& failure) {
        error = failure.what();
        store_.reset();
    }
    if (!error.empty()) {
        e.type = RecordsEvent::Type::Failed;
        e.message = error;
        e.rows.clear();
    }
    tell(std::move(e));
}

int64_t RecordsThread::list(const RecordFilter& filter) {
    return post([this, filter](int64_t ticket) {
        RecordsEvent e;
        e.ticket = ticket;
        e.type = RecordsEvent::Type::Listed;
        std::string note;
        if (!options_.historyServer.empty()) {
            try {
                auto server =
                    RecordStore::OpenServer(options_.historyServer, options_.serverTimeoutSeconds);
                e.rows = server->list(filter);
                e.source = server->where();
                tell(std::move(e));
                return;
            } catch (const StoreError& error) {
                note = std::string(error.what()) + ". Showing this station's records only.";
            }
        }
        answer(std::move(e), [&](RecordStore& store, RecordsEvent& listed) {
            listed.rows = store.list(filter);
            listed.source = store.where();
            listed.message = note;
        });
    });
}

int64_t RecordsThread::find(const std::string& uuid) {
    return post([this, uuid](int64_t ticket) {
        RecordsEvent e;
        e.ticket = ticket;
        e.type = RecordsEvent::Type::Found;
        answer(std::move(e), [&](RecordStore& store, RecordsEvent& found) {
            std::optional<StoredRecord> row = store.find(uuid);
            found.source = store.where();
            if (!row && !options_.historyServer.empty()) {
                auto server =
                    RecordStore::OpenServer(options_.historyServer, options_.serverTimeoutSeconds);
                row = server->find(uuid);
                found.source = server->where();
            }
            if (row) found.rows.push_back(*row);
        });
    });
}

int64_t RecordsThread::check() {
    return post([this](int64_t ticket) {
        RecordsEvent e;
        e.ticket = ticket;
        e.type = RecordsEvent::Type::Checked;
        answer(std::move(e),
               [](RecordStore& store, RecordsEvent& checked) { checked.check = store.check(); });
    });
}

int64_t RecordsThread::pair(const CertificateRequest& request) {
    return post([this, request](int64_t ticket) {
        RecordsEvent e;
        e.ticket = ticket;
        e.type = RecordsEvent::Type::Paired;
        answer(std::move(e), [&](RecordStore& store, RecordsEvent& paired) {
            PairPlan plan = PlanPairs(store, request);
            if (plan.pairs.empty() && !options_.historyServer.empty()) {
                try {
                    auto server = RecordStore::OpenServer(options_.historyServer,
                                                          options_.serverTimeoutSeconds);
                    PairPlan there = PlanPairs(*server, request);
                    if (!there.pairs.empty()) plan = std::move(there);
                } catch (const StoreError&) {
                    // This station's answer stands.
                }
            }
            paired.pairs = std::move(plan.pairs);
            paired.refusals = std::move(plan.refusals);
            paired.source = plan.source;
        });
    });
}

void RecordsThread::loadPendingFiles() {
    for (auto& [path, record] : PendingRecords(folder_)) {
        pendingFiles_.push_back(path);
        keptRecords_.push_back(std::move(record));
    }
}

// Kept records wait as files too from their first failure on, so that a
// program ended by force loses none of them. The files follow the order of
// the kept records: the first failure to write one stops there.
void RecordsThread::keepAsFiles() {
    while (pendingFiles_.size() < keptRecords_.size()) {
        const auto path = KeepPendingRecord(folder_, keptRecords_[pendingFiles_.size()]);
        if (!path) return;
        pendingFiles_.push_back(*path);
    }
}

void RecordsThread::writePendingFiles() {
    // The first kept records still have their files.
    for (size_t i = pendingFiles_.size(); i < keptRecords_.size(); ++i) {
        const Record& record = keptRecords_[i];
        const auto path = KeepPendingRecord(folder_, record);
        RecordsEvent e;
        e.uuid = record.uuid;
        e.type = RecordsEvent::Type::Kept;
        e.message = path ? "Kept as " + path->string() + " until the records file can be written"
                         : "Cannot keep record " + record.uuid + " as a file in " +
                               (folder_ / kPendingFolderName).string() + " either: it is lost";
        sink_(e);
    }
}

void RecordsThread::run() {
    loadPendingFiles();
    storeKept(keptRecords_.size());
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            const bool retry = !keptRecords_.empty();
            const auto ready = [this] { return stop_ || !jobs_.empty(); };
            if (retry)
                wakeUp_.wait_for(lock, std::chrono::milliseconds(options_.retryMs), ready);
            else
                wakeUp_.wait(lock, ready);
            if (jobs_.empty()) {
                if (stop_) break;
            } else {
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
        }
        if (job)
            job();
        else
            storeKept();  // the retry pause ended
    }
    storeKept();
    writePendingFiles();
}

}  // namespace clinora::records
