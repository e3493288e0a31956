// The reading log's append path against arbitrary board texts and comments:
// the texts come from the input (pieces end at a zero byte). Every line keeps
// its columns and stays one line, and the file gains exactly that line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "app/reading_log.h"
#include "scratch_file.h"

namespace {

void Check(bool good) {
    if (!good) std::abort();
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const clinora::fuzz::ScratchFile file("log.csv");
    std::string pieces[7];
    size_t piece = 0;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && piece + 1 < std::size(pieces))
            ++piece;
        else
            pieces[piece].push_back(static_cast<char>(data[i]));
    }
    clinora::LogReading r;
    r.serial = pieces[0];
    r.axisA = pieces[1];
    r.axisB = pieces[2];
    r.temperature = pieces[3];
    r.deviceUnits = pieces[4];
    r.comment = pieces[5];
    r.unit = "Deg";

    const std::string line = clinora::FormatLogLine(r, true);
    Check(std::count(line.begin(), line.end(), ',') == 8);
    Check(line.find_first_of("\r\n") == std::string::npos);
    // A comment the Label check lets through reaches the log unchanged.
    if (!clinora::CommentProblem(r.comment))
        Check(line.ends_with("," + clinora::ToSingleBytes(r.comment)));

    // The last piece is what the file held before: the line always starts a
    // line of its own and ends with CR LF.
    const std::string& before = pieces[6];
    Check(clinora::fuzz::WriteScratch(file.path, reinterpret_cast<const uint8_t*>(before.data()),
                                      before.size()));
    clinora::ReadingLogFile log;
    Check(log.open(file.path));
    Check(log.writeLine(line));
    log.close();
    const std::string after = FileBytes(file.path);
    Check(after.starts_with(before));
    const std::string added = after.substr(before.size());
    const bool joined = !before.empty() && before.back() != '\n';
    Check(added == (joined ? "\r\n" : "") + line + "\r\n");
    return 0;
}
