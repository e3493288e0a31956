#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace clinora::records {

// SHA-256 of `bytes`, as 64 lower-case hex digits.
std::string Sha256Hex(std::string_view bytes);

// SHA-256 of a whole file; nothing when it cannot be read. `bytes`, when
// given, receives the file's content.
std::optional<std::string> Sha256OfFile(const std::filesystem::path& path,
                                        std::string* bytes = nullptr);

// A random (version 4) UUID from the system's cryptographic generator, in
// its usual lower-case form "xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx".
std::string RandomUuid();

// Whether `text` has the form of a UUID (any version), lower or upper case.
bool LooksLikeUuid(std::string_view text);

}  // namespace clinora::records
