#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace clinora::records {

// SHA-256 of `bytes` as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view bytes);

// SHA-256 of a file's content; nothing when it cannot be read.
std::optional<std::string> FileSha256Hex(const std::filesystem::path& path);

}  // namespace clinora::records
