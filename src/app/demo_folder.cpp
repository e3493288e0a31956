#include "app/demo_folder.h"

#include <filesystem>
#include <fstream>

#include "app/address_lists.h"
#include "app/app_files.h"
#include "app/text_line_file.h"

namespace clinora {
namespace {

namespace fs = std::filesystem;

bool WriteNewList(const fs::path& path, const std::string& header,
                  const std::vector<std::string>& entries) {
    TextLineFile file;
    if (!file.open(path.string(), true)) return false;
    std::vector<std::string> lines{header};
    lines.insert(lines.end(), entries.begin(), entries.end());
    return file.writeList(lines);
}

}  // namespace

bool PrepareDemoFolder(const std::string& folder, const DemoContent& content) {
    std::error_code error;
    const fs::path dir(folder);
    if (fs::exists(dir, error) && !fs::is_empty(dir, error)) return true;
    fs::create_directories(dir, error);
    if (!fs::is_directory(dir, error)) return false;

    bool ok = std::ofstream(dir / kCalibrationIniFile).good();
    ok = WriteNewList(dir / kCurrentAddressFile, kCurrentAddressHeader, content.boardAddresses) &&
         ok;
    ok = WriteNewList(dir / kPoolAddressFile, kPoolAddressHeader, content.poolAddresses) && ok;
    ok = WriteNewList(dir / kUsedAddressFile, kUsedAddressHeader, {}) && ok;

    if (!content.promptFolder.empty()) {
        for (const auto& entry : fs::directory_iterator(content.promptFolder, error)) {
            const std::string name = entry.path().filename().string();
            if (!entry.is_regular_file() || name.rfind("CalPrompts", 0) != 0 ||
                entry.path().extension() != ".csv")
                continue;
            ok = fs::copy_file(entry.path(), dir / name, fs::copy_options::skip_existing, error) &&
                 ok;
        }
    }
    return ok;
}

}  // namespace clinora
