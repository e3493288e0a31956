#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"

namespace clinora::cli::testing {

// Runs programs as a user without privileges, as the programs are meant to
// run: a test running as root (as CI does) drops to nobody with setpriv and
// hands that user the folders and devices it works with; anyone else runs
// them as they are.
struct NormalUser {
    static constexpr uid_t kNobody = 65534;
    static constexpr gid_t kNoGroup = 65534;
    const bool root = ::geteuid() == 0;

    std::vector<std::string> wrap(std::vector<std::string> argv) const {
        if (!root) return argv;
        std::vector<std::string> wrapped = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup",
                                            "--clear-groups", "--"};
        wrapped.insert(wrapped.end(), argv.begin(), argv.end());
        return wrapped;
    }
    // Gives `path` (and, for a folder, what it holds) to the user.
    void own(const std::filesystem::path& path) const {
        if (!root) return;
        if (::chown(path.c_str(), kNobody, kNoGroup) != 0) return;
        if (!std::filesystem::is_directory(path)) return;
        for (const auto& e : std::filesystem::recursive_directory_iterator(path))
            if (::chown(e.path().c_str(), kNobody, kNoGroup) != 0) return;
    }
    // The program at `path`, or a copy in `folder` when the user cannot reach
    // the build tree.
    std::string reachable(const std::string& path, const std::filesystem::path& folder) const {
        if (!root || RunProgram(wrap({path, "--version"}), 20000).status == 0) return path;
        const auto copy = folder / std::filesystem::path(path).filename();
        std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
        ::chmod(copy.c_str(), 0755);
        return copy.string();
    }
};

}  // namespace clinora::cli::testing
