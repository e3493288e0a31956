#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/record.h"

namespace clinora::records {

// The searchable columns of a stored record, all taken from its content.
struct IndexColumns {
    std::string kind, time, station, serial, address, axis, file, fileSha256, outcome;
    std::string follows, run;
    int64_t imported = 0;
    bool operator==(const IndexColumns&) const = default;
};

// A column value as the databases keep it: the server's text columns take
// neither NUL nor bytes that are not UTF-8, so those become U+FFFD here (the
// content keeps every byte). Queries map their values the same way.
std::string ColumnText(std::string_view text);
IndexColumns ColumnsOf(const Record& record);

// The place of a record in its station's chain. Every store (a station's
// history.sqlite) has a chain of its own, named by a UUID; its records are
// numbered from 1 and each carries the hash of the one before it.
struct ChainLink {
    std::string chain;
    int64_t seq = 0;
    std::string prevHash;  // kNoPrevious for the first record
    bool operator==(const ChainLink&) const = default;
};
inline constexpr const char* kNoPrevious =
    "0000000000000000000000000000000000000000000000000000000000000000";

// SHA-256 over the link and the content: a record changed, moved or taken
// out of its chain no longer matches.
std::string RecordHash(const ChainLink& link, std::string_view content);

// One record as stored.
struct StoredRecord {
    std::string uuid;
    ChainLink link;
    std::string hash;
    std::string content;
    IndexColumns columns;
    bool operator==(const StoredRecord&) const = default;
};

// A record of this station, placed after `previous` (the chain's last record,
// or nothing for the first).
StoredRecord Chained(const Record& record, const std::string& chain,
                     const std::optional<StoredRecord>& previous);
StoredRecord Chained(const Record& record, const std::string& chain, int64_t previousSeq,
                     const std::string& previousHash);

// What is wrong with one record on its own (content unreadable or naming
// another record, columns not those of the content, hash not matching), in
// words naming it; nothing when it is sound.
std::optional<std::string> RowFault(const StoredRecord& row);

// The last record of a chain as its store remembers it.
struct ChainHead {
    std::string chain;
    int64_t seq = 0;
    std::string hash;
    std::string uuid;
};

// The first fault `check` finds: which record (uuid, or the chain for a
// record missing at its end) and what is wrong, in words.
struct CheckFault {
    std::string uuid;
    std::string text;
};
struct CheckReport {
    int64_t records = 0;
    int64_t chains = 0;
    std::optional<CheckFault> fault;
};

// Checks records arriving chain by chain in order of their numbers: content
// readable, columns equal to the content, hash, number and link to the
// previous record; then each chain's end against its head.
class ChainChecker {
public:
    // False once a fault is found (the rest need not be fed).
    bool feed(const StoredRecord& row);
    // The heads the store remembers; call after the last feed.
    CheckReport finish(const std::vector<ChainHead>& heads);

private:
    bool fault(const std::string& uuid, const std::string& text);
    bool endChain();

    CheckReport report_;
    std::optional<StoredRecord> previous_;
    std::vector<ChainHead> ends_;
};

}  // namespace clinora::records
