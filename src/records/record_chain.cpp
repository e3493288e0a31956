#include "records/record_chain.h"

#include "records/digest.h"

namespace clinora::records {

namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

std::string Named(const StoredRecord& row) {
    return "record " + row.uuid + " (number " + std::to_string(row.link.seq) + " of station '" +
           row.columns.station + "')";
}

// The first column that differs, with both values; empty when none does.
std::string ColumnDifference(const IndexColumns& stored, const IndexColumns& derived) {
    const struct {
        const char* name;
        const std::string& a;
        const std::string& b;
    } texts[] = {{"kind", stored.kind, derived.kind},
                 {"time", stored.time, derived.time},
                 {"station", stored.station, derived.station},
                 {"serial", stored.serial, derived.serial},
                 {"address", stored.address, derived.address},
                 {"axis", stored.axis, derived.axis},
                 {"file", stored.file, derived.file},
                 {"file_sha256", stored.fileSha256, derived.fileSha256},
                 {"outcome", stored.outcome, derived.outcome},
                 {"follows", stored.follows, derived.follows},
                 {"run", stored.run, derived.run}};
    for (const auto& t : texts)
        if (t.a != t.b)
            return std::string("its ") + t.name + " column reads '" + t.a +
                   "' but its content says '" + t.b + "'";
    if (stored.imported != derived.imported) return "its imported column differs from its content";
    return {};
}

}  // namespace

std::string ColumnText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t n = text[i] == '\0' ? 0 : Utf8SequenceLength(text, i);
        if (n == 0) {
            out += kReplacement;
            ++i;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out;
}

IndexColumns ColumnsOf(const Record& r) {
    IndexColumns c;
    c.kind = std::string(KindName(r.kind));
    c.time = ColumnText(r.time);
    c.station = ColumnText(r.station);
    c.serial = ColumnText(r.board.serial);
    c.address = ColumnText(r.board.address);
    c.axis = ColumnText(r.axis);
    c.file = ColumnText(r.file.name);
    c.fileSha256 = ColumnText(r.file.sha256);
    c.outcome = ColumnText(r.outcome);
    c.follows = ColumnText(r.follows);
    c.run = ColumnText(r.run);
    c.imported = r.imported ? 1 : 0;
    return c;
}

std::string RecordHash(const ChainLink& link, std::string_view content) {
    std::string text = "clinora-record\n" + link.chain + "\n" + std::to_string(link.seq) + "\n" +
                       link.prevHash + "\n";
    text.append(content);
    return Sha256Hex(text);
}

StoredRecord Chained(const Record& record, const std::string& chain, int64_t previousSeq,
                     const std::string& previousHash) {
    StoredRecord row;
    row.uuid = record.uuid;
    row.link = {chain, previousSeq + 1, previousSeq > 0 ? previousHash : kNoPrevious};
    row.content = ContentOf(record);
    row.hash = RecordHash(row.link, row.content);
    row.columns = ColumnsOf(record);
    return row;
}

StoredRecord Chained(const Record& record, const std::string& chain,
                     const std::optional<StoredRecord>& previous) {
    return previous ? Chained(record, chain, previous->link.seq, previous->hash)
                    : Chained(record, chain, 0, {});
}

std::optional<std::string> RowFault(const StoredRecord& row) {
    Record record;
    try {
        record = RecordFromContent(row.content);
    } catch (const JsonError& e) {
        return Named(row) + ": its content cannot be read (" + e.what() + ")";
    }
    if (record.uuid != row.uuid)
        return Named(row) + ": its content names another record, " + record.uuid;
    if (const std::string diff = ColumnDifference(row.columns, ColumnsOf(record)); !diff.empty())
        return Named(row) + ": " + diff;
    if (RecordHash(row.link, row.content) != row.hash)
        return Named(row) +
               ": its content was changed after it was stored (its hash does not match)";
    return std::nullopt;
}

bool ChainChecker::fault(const std::string& uuid, const std::string& text) {
    if (!report_.fault) report_.fault = CheckFault{uuid, text};
    return false;
}

bool ChainChecker::endChain() {
    if (previous_)
        ends_.push_back(
            {previous_->link.chain, previous_->link.seq, previous_->hash, previous_->uuid});
    return true;
}

bool ChainChecker::feed(const StoredRecord& row) {
    if (report_.fault) return false;
    ++report_.records;
    if (!previous_ || previous_->link.chain != row.link.chain) {
        endChain();
        ++report_.chains;
        previous_.reset();
    }
    if (auto wrong = RowFault(row)) return fault(row.uuid, *wrong);
    const int64_t expectedSeq = previous_ ? previous_->link.seq + 1 : 1;
    if (row.link.seq != expectedSeq) {
        const int64_t missing = row.link.seq - expectedSeq;
        return fault(row.uuid, Named(row) + ": " +
                                   (missing == 1 ? "record number " + std::to_string(expectedSeq) +
                                                       " before it is missing"
                                                 : "records " + std::to_string(expectedSeq) +
                                                       " to " + std::to_string(row.link.seq - 1) +
                                                       " before it are missing"));
    }
    const std::string& expectedPrev = previous_ ? previous_->hash : std::string(kNoPrevious);
    if (row.link.prevHash != expectedPrev)
        return fault(row.uuid, Named(row) + ": the record before it was changed or replaced");
    previous_ = row;
    return true;
}

CheckReport ChainChecker::finish(const std::vector<ChainHead>& heads) {
    if (report_.fault) return report_;
    endChain();
    for (const ChainHead& head : heads) {
        const ChainHead* end = nullptr;
        for (const ChainHead& e : ends_)
            if (e.chain == head.chain) end = &e;
        const int64_t have = end ? end->seq : 0;
        if (have < head.seq) {
            fault(head.uuid,
                  "record " + head.uuid + " (number " + std::to_string(head.seq) +
                      ", the last of chain " + head.chain + ") is missing" +
                      (head.seq - have == 1
                           ? ""
                           : ", and the " + std::to_string(head.seq - have - 1) + " before it"));
            break;
        }
        if (have == head.seq && end->hash != head.hash) {
            fault(end->uuid,
                  "record " + end->uuid + " (the last of chain " + head.chain + ") was replaced");
            break;
        }
    }
    return report_;
}

}  // namespace clinora::records
