#include "records/certificate_digest.h"

#include <openssl/evp.h>

#include <array>
#include <fstream>
#include <memory>

namespace clinora::records {

namespace {

using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

std::string Hex(const unsigned char* bytes, unsigned size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (unsigned i = 0; i < size; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    return out;
}

// Feeds `more` until it returns an empty piece; nothing when OpenSSL or the
// source fails.
template <class Source>
std::optional<std::string> Digest(Source&& more) {
    DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        return std::nullopt;
    for (;;) {
        std::optional<std::string_view> piece = more();
        if (!piece) return std::nullopt;
        if (piece->empty()) break;
        if (EVP_DigestUpdate(context.get(), piece->data(), piece->size()) != 1) return std::nullopt;
    }
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned size = 0;
    if (EVP_DigestFinal_ex(context.get(), digest.data(), &size) != 1) return std::nullopt;
    return Hex(digest.data(), size);
}

}  // namespace

std::string Sha256Hex(std::string_view bytes) {
    bool given = false;
    auto once = [&]() -> std::optional<std::string_view> {
        if (given) return std::string_view{};
        given = true;
        return bytes.empty() ? std::string_view{} : bytes;
    };
    return Digest(once).value_or(std::string{});
}

std::optional<std::string> FileSha256Hex(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::array<char, 1 << 16> buffer{};
    auto next = [&]() -> std::optional<std::string_view> {
        in.read(buffer.data(), buffer.size());
        if (in.bad()) return std::nullopt;
        return std::string_view(buffer.data(), static_cast<size_t>(in.gcount()));
    };
    return Digest(next);
}

}  // namespace clinora::records
