#include "app/text_line_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

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
    char chunk[4096];
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

void ParseLines(const std::string& bytes, std::vector<std::string>& list) {
    auto take = [&list](const std::string& line) {
        if (std::find(list.begin(), list.end(), line) == list.end()) list.push_back(line);
    };
    std::string line;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == 9 || byte == 10) continue;
        if (byte >= 32 && byte <= 127) {
            line.push_back(static_cast<char>(byte));
            continue;
        }
        // CR or any other byte ends the line; the byte itself is dropped.
        if (line.empty()) return;
        take(line);
        line.clear();
    }
    if (!line.empty()) take(line);
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
        if (fill_ == kBufferSize) flush();
    }
}

void TextLineFile::appendLine(const std::string& text) {
    if (endsWithLineBreak_)
        buffer(text + "\r\n");
    else
        buffer("\r\n" + text);
}

bool TextLineFile::flush() {
    if (!isOpen()) {
        fill_ = 0;
        return false;
    }
    bool ok = ::lseek(fd_, 0, SEEK_END) >= 0 && WriteAll(fd_, buffer_.data(), fill_);
    fill_ = 0;
    return ok;
}

int64_t TextLineFile::length() const {
    struct stat st {};
    if (!isOpen() || ::fstat(fd_, &st) != 0) return 0;
    return static_cast<int64_t>(st.st_size);
}

}  // namespace clinora
