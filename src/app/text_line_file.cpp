#include "app/text_line_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string_view>
#include <utility>

namespace clinora {
namespace {

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, std::string& out) {
    out.clear();
    if (::lseek(fd, 0, SEEK_SET) < 0) return false;
    char chunk[65536];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        out.append(chunk, static_cast<size_t>(n));
    }
}

}  // namespace

// The texts of a list for the duplicate check: an open-addressing table of
// positions in the list with their hashes, so that reading a file stays
// linear in its size and each new line is compared with at most a few others.
class ListIndex {
public:
    explicit ListIndex(std::vector<std::string>& list) : list_(list) {
        grow(list.size());
        for (size_t i = 0; i < list.size(); ++i) {
            const uint32_t hash = Hash(list[i]);
            Slot& slot = find(list[i], hash);
            if (slot.position == 0) slot = {hash, static_cast<uint32_t>(i + 1)};
        }
    }

    // Appends `text` to the list unless the list holds it already.
    void add(std::string_view text) {
        const uint32_t hash = Hash(text);
        Slot& slot = find(text, hash);
        if (slot.position != 0) return;
        list_.emplace_back(text);
        slot = {hash, static_cast<uint32_t>(list_.size())};
        if (2 * list_.size() >= slots_.size()) grow(list_.size());
    }

private:
    // Eight bytes, so that the table of a large list stays small in the cache.
    // A list of more than 2^32 lines would not fit in memory anyway.
    struct Slot {
        uint32_t hash = 0;
        uint32_t position = 0;  // list index + 1; 0 while free
    };

    static uint32_t Hash(std::string_view text) {
        const size_t hash = std::hash<std::string_view>{}(text);
        return static_cast<uint32_t>(hash ^ (hash >> 32));
    }

    Slot& find(std::string_view text, uint32_t hash) {
        const size_t mask = slots_.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (slot.position == 0) return slot;
            if (slot.hash == hash && list_[slot.position - 1] == text) return slot;
        }
    }

    // At least three slots per entry, a power of two.
    void grow(size_t entries) {
        size_t size = 64;
        while (size < 3 * entries) size *= 2;
        std::vector<Slot> old(size);
        old.swap(slots_);
        const size_t mask = size - 1;
        for (const Slot& s : old) {
            if (s.position == 0) continue;
            size_t i = s.hash & mask;
            while (slots_[i].position != 0) i = (i + 1) & mask;
            slots_[i] = s;
        }
    }

    std::vector<std::string>& list_;
    std::vector<Slot> slots_;
};

void ParseLines(const std::string& bytes, std::vector<std::string>& list) {
    ListIndex index(list);
    std::string line;  // used only for a line with a TAB or LF inside
    size_t i = 0;
    while (i < bytes.size()) {
        // One line: the bytes up to the first that is neither a character
        // (32..127) nor TAB or LF, which are skipped.
        const size_t start = i;
        bool skipped = false;
        for (; i < bytes.size(); ++i) {
            const auto byte = static_cast<unsigned char>(bytes[i]);
            if (byte == 9 || byte == 10)
                skipped = true;
            else if (byte < 32 || byte > 127)
                break;
        }
        std::string_view text(bytes.data() + start, i - start);
        if (skipped) {
            line.clear();
            for (char c : text)
                if (c != 9 && c != 10) line.push_back(c);
            text = line;
        }
        // An empty line ends the reading; the byte that ends a line is dropped.
        if (text.empty()) return;
        index.add(text);
        ++i;
    }
}

TextLineFile::~TextLineFile() {
    if (isOpen()) {
        flush();
        close();
    }
}

bool TextLineFile::open(const std::string& path, bool create) {
    if (isOpen()) return true;
    int flags = O_RDWR | O_CLOEXEC;
    if (create) flags |= O_CREAT | O_TRUNC;
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    path_ = path;
    fill_ = 0;
    return true;
}

void TextLineFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    fill_ = 0;
}

bool TextLineFile::readList(std::vector<std::string>& list) {
    if (!isOpen()) return false;
    std::string bytes;
    if (!ReadAll(fd_, bytes) || bytes.size() <= 1) return false;
    endsWithLineBreak_ = bytes[bytes.size() - 2] == '\r';
    ParseLines(bytes, list);
    return true;
}

bool TextLineFile::writeList(const std::vector<std::string>& list) {
    if (!isOpen()) return false;
    endsWithLineBreak_ = true;
    fill_ = 0;
    std::string content;
    for (const auto& item : list) content += item + "\r\n";

    struct stat st {};
    const mode_t mode = ::fstat(fd_, &st) == 0 ? (st.st_mode & 07777) : 0644;
    std::string temp = path_ + ".XXXXXX";
    int out = ::mkstemp(temp.data());
    bool ok = out >= 0;
    if (ok) {
        ok = WriteAll(out, content.data(), content.size()) && ::fchmod(out, mode) == 0 &&
             ::fsync(out) == 0;
        ok = (::close(out) == 0) && ok;
        ok = ok && ::rename(temp.c_str(), path_.c_str()) == 0;
        if (!ok) ::unlink(temp.c_str());
    }
    close();
    return ok;
}

void TextLineFile::buffer(const std::string& bytes) {
    for (char c : bytes) {
        buffer_[fill_++] = c;
        // A full buffer that cannot be written fails the next flush too.
        if (fill_ == kBufferSize && !flush()) lostBytes_ = true;
    }
}

void TextLineFile::appendLine(const std::string& text) {
    if (endsWithLineBreak_)
        buffer(text + "\r\n");
    else
        buffer("\r\n" + text);
}

bool TextLineFile::flush() {
    const size_t fill = std::exchange(fill_, 0);
    if (!isOpen()) {
        error_ = EBADF;
        return false;
    }
    // Part of these lines went nowhere: the rest is not written either, and
    // error_ still holds why.
    if (std::exchange(lostBytes_, false)) return false;
    const off_t end = ::lseek(fd_, 0, SEEK_END);
    if (end >= 0 && WriteAll(fd_, buffer_.data(), fill)) return true;
    error_ = errno;
    // Takes a partial write back; should that fail too, the write's error is
    // still what the caller reports.
    if (end >= 0) (void)!::ftruncate(fd_, end);
    return false;
}

bool TextLineFile::stillAtPath() const {
    struct stat held {}, named {};
    if (!isOpen() || ::fstat(fd_, &held) != 0 || ::stat(path_.c_str(), &named) != 0) return false;
    return held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

int64_t TextLineFile::length() const {
    struct stat st {};
    if (!isOpen() || ::fstat(fd_, &st) != 0) return 0;
    return static_cast<int64_t>(st.st_size);
}

}  // namespace clinora
