#include "calib/byte_lines.h"

namespace clinora::calib {

bool ByteLineReader::readLine(std::string& line) {
    line.clear();
    if (ended_ || file_ == nullptr) return false;
    std::size_t consumed = 0;
    for (;;) {
        const int c = std::fgetc(file_);
        if (c == EOF) {
            ended_ = true;
            return !line.empty();
        }
        ++consumed;
        if (c == '\r') {
            const int next = std::fgetc(file_);
            if (next != '\n' && next != EOF) std::ungetc(next, file_);
            return true;
        }
        if (c == '\t')
            line.push_back(' ');
        else if (c >= 32 && c <= 127)
            line.push_back(static_cast<char>(c));
        // A lone LF and every other byte outside 32..127 are dropped.
        if (maxLineBytes_ != 0 && consumed >= maxLineBytes_) {
            ended_ = true;
            return false;
        }
    }
}

void AppendLine(std::string& out, std::string_view line) {
    out.append(line.substr(0, kMaxWrittenLine));
    out.append("\r\n");
}

}  // namespace clinora::calib
