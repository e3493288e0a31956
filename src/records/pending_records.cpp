#include "records/pending_records.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <system_error>

#include "link/number_text.h"
#include "records/utc_time.h"

namespace clinora::records {

std::optional<std::filesystem::path> KeepPendingRecord(const std::filesystem::path& folder,
                                                       const Record& record) {
    static std::atomic<int> counter{0};
    const std::filesystem::path dir = folder / kPendingFolderName;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    // Named by the time of keeping, so that the name order is the order of the records.
    std::string stamp = UtcNow();
    std::replace(stamp.begin(), stamp.end(), ':', '-');
    const std::filesystem::path path =
        dir / (stamp + "-" + FormatInt(counter++ % 1000000, 6) + "-" + record.uuid + ".json");
    const std::filesystem::path part = path.string() + ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out << ContentOf(record);
        out.close();
        if (!out) {
            std::filesystem::remove(part, ec);
            return std::nullopt;
        }
    }
    std::filesystem::rename(part, path, ec);
    if (ec) return std::nullopt;
    return path;
}

std::vector<std::pair<std::filesystem::path, Record>> PendingRecords(
    const std::filesystem::path& folder) {
    std::vector<std::pair<std::filesystem::path, Record>> out;
    const std::filesystem::path dir = folder / kPendingFolderName;
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) return out;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
        if (entry.path().extension() == ".json") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& path : files) {
        std::ifstream in(path, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
        try {
            out.emplace_back(path, RecordFromContent(text));
        } catch (const JsonError&) {
            // Not a record of this program: left for a person to look at.
        }
    }
    return out;
}

}  // namespace clinora::records
