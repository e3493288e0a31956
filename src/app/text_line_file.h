#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace clinora {

// A file of text lines, one byte per character, CR LF line ends: the address
// files and the reading log. Appended lines are buffered (1024 bytes) and
// always written at the end of the file.
class TextLineFile {
public:
    static constexpr size_t kBufferSize = 1024;

    TextLineFile() = default;
    ~TextLineFile();  // flushes buffered lines, then closes
    TextLineFile(const TextLineFile&) = delete;
    TextLineFile& operator=(const TextLineFile&) = delete;

    // Opens for reading and writing. Without `create` the file must exist;
    // with it the file is created, or emptied when it exists. Already open:
    // true without reopening.
    bool open(const std::string& path, bool create);
    void close();
    bool isOpen() const { return fd_ >= 0; }

    // Appends the file's lines to `list`, each one only when the list does not
    // hold it yet. Reading stops at the first empty line. Bytes 32..127 are
    // characters; TAB and LF are skipped; CR and any other byte end a line.
    // A file of 0 or 1 bytes yields nothing and reports false.
    bool readList(std::vector<std::string>& list);

    // Replaces the file's content by the list, one line each, and closes the
    // file. The new content goes to a temporary file in the same folder that
    // is renamed over the old one, so the old list survives a crash.
    bool writeList(const std::vector<std::string>& list);

    // Buffers a line; it starts on a line of its own even when the file does
    // not end with a line break.
    void appendLine(const std::string& text);
    // Writes the buffered bytes at the end of the file. A write that fails
    // part way is taken back, so the file keeps only whole lines; lastError()
    // then holds the system's error code.
    bool flush();
    int lastError() const { return error_; }
    // The path still names the open file: it was not removed, moved or replaced.
    bool stillAtPath() const;

    int64_t length() const;
    bool endsWithLineBreak() const { return endsWithLineBreak_; }
    void setEndsWithLineBreak(bool ends) { endsWithLineBreak_ = ends; }

private:
    void buffer(const std::string& bytes);

    int fd_ = -1;
    std::string path_;
    bool endsWithLineBreak_ = false;
    std::array<char, kBufferSize> buffer_{};
    size_t fill_ = 0;
    int error_ = 0;
    bool lostBytes_ = false;  // a full buffer could not be written
};

// Splits file bytes into lines by the reading rules of TextLineFile::readList
// and appends the new ones to `list`.
void ParseLines(const std::string& bytes, std::vector<std::string>& list);

}  // namespace clinora
