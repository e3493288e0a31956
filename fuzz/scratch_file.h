#pragma once

// A file per fuzz target in a memory-backed folder, rewritten for every input,
// for the readers that take a path.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace clinora::fuzz {

inline std::string ScratchPath(const char* name) {
    const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(folder) + "/clinora-fuzz-" + std::to_string(getpid()) + "-" + name;
}

// Replaces the file's content by the input; false when it cannot be written.
inline bool WriteScratch(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

// Removes the file when the target's process ends.
struct ScratchFile {
    std::string path;
    explicit ScratchFile(const char* name) : path(ScratchPath(name)) {}
    ~ScratchFile() { std::remove(path.c_str()); }
};

}  // namespace clinora::fuzz
