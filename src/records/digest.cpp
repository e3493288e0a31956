#include "records/digest.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <array>
#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>

namespace clinora::records {

namespace {

std::string Hex(const unsigned char* bytes, size_t count) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(count * 2);
    for (size_t i = 0; i < count; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 0xF];
    }
    return out;
}

struct ContextFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

// Feeds pieces of data into one SHA-256.
class Sha256 {
public:
    Sha256() : context_(EVP_MD_CTX_new()) {
        if (!context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1)
            throw std::runtime_error("SHA-256 is not available");
    }
    void add(const void* data, size_t size) { EVP_DigestUpdate(context_.get(), data, size); }
    std::string hex() {
        std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
        unsigned size = 0;
        EVP_DigestFinal_ex(context_.get(), digest.data(), &size);
        return Hex(digest.data(), size);
    }

private:
    std::unique_ptr<EVP_MD_CTX, ContextFree> context_;
};

}  // namespace

std::string Sha256Hex(std::string_view bytes) {
    Sha256 sha;
    sha.add(bytes.data(), bytes.size());
    return sha.hex();
}

std::optional<std::string> Sha256OfFile(const std::filesystem::path& path, std::string* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    Sha256 sha;
    std::array<char, 65536> buffer;
    if (bytes) bytes->clear();
    while (in) {
        in.read(buffer.data(), buffer.size());
        const auto got = static_cast<size_t>(in.gcount());
        sha.add(buffer.data(), got);
        if (bytes) bytes->append(buffer.data(), got);
    }
    if (in.bad()) return std::nullopt;
    return sha.hex();
}

std::string RandomUuid() {
    std::array<unsigned char, 16> b{};
    if (RAND_bytes(b.data(), static_cast<int>(b.size())) != 1) {
        // The system generator failed: the operating system's entropy source
        // still gives a unique key.
        std::random_device device;
        for (auto& byte : b) byte = static_cast<unsigned char>(device());
    }
    b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);  // version 4
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
    const std::string h = Hex(b.data(), b.size());
    return h.substr(0, 8) + "-" + h.substr(8, 4) + "-" + h.substr(12, 4) + "-" + h.substr(16, 4) +
           "-" + h.substr(20);
}

bool LooksLikeUuid(std::string_view text) {
    if (text.size() != 36) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != '-') return false;
        } else if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return true;
}

}  // namespace clinora::records
