#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace clinora::calib {

// Reads the data files' text lines byte by byte: a line ends at CR (a following
// LF is taken with it), a lone LF is skipped, TAB becomes a blank, other bytes
// outside 32..127 are dropped. At the end of the file a non-empty partial line
// is still a line.
class ByteLineReader {
public:
    // maxLineBytes > 0 limits the bytes read for one line, its CR included: a
    // line that does not end within them ends the reading as if the file ended.
    explicit ByteLineReader(std::FILE* file, std::size_t maxLineBytes = 0)
        : file_(file), maxLineBytes_(maxLineBytes) {}

    // False at the end of the reading.
    bool readLine(std::string& line);

private:
    std::FILE* file_;
    std::size_t maxLineBytes_;
    bool ended_ = false;
};

// Longest line the writers put out, line end excluded.
inline constexpr std::size_t kMaxWrittenLine = 256;

// Appends one line as the data files are written: at most 256 bytes, then CR LF.
void AppendLine(std::string& out, std::string_view line);

}  // namespace clinora::calib
