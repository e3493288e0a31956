#pragma once

#include <filesystem>
#include <string>

#include "records/certificate.h"

namespace clinora::records {

inline constexpr const char* kDccNamespace = "https://ptb.de/dcc";
inline constexpr const char* kSiNamespace = "https://ptb.de/si";
inline constexpr const char* kDccSchemaVersion = "3.1.2";

// The certificate as a Digital Calibration Certificate (DCC 3.1.2, quantities
// in D-SI 2.1.0), UTF-8. Written with libxml2's text writer, so every text is
// escaped by the writer. Empty only when libxml2 fails.
std::string WriteDcc(const Certificate& certificate);

// WriteDcc into `path`, through a temporary file renamed into place, so that
// a failure never leaves a half-written certificate. False (and `error` says
// why) when it cannot be written.
bool SaveDcc(const Certificate& certificate, const std::filesystem::path& path,
             std::string* error = nullptr);

// Writes `bytes` to `path` through a temporary file in the same folder and a
// rename. False (and `error` says why) when it cannot.
bool SaveFileAtomically(const std::filesystem::path& path, const std::string& bytes,
                        std::string* error = nullptr);

}  // namespace clinora::records
