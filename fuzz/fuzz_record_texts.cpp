// The readers of the records against arbitrary bytes: a record's content (as
// a database or a kept file may hand it back) and a calibration file brought
// in by an import. Whatever reads comes back the same from its canonical form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "records/cal_file_import.h"
#include "records/canonical_json.h"
#include "records/record.h"
#include "scratch_file.h"

namespace {

void Same(const clinora::records::Record& record) {
    using namespace clinora::records;
    const std::string content = ContentOf(record);
    if (ContentOf(RecordFromContent(content)) != content) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace clinora::records;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        const Json value = ParseJson(bytes);
        // (15.0 reads back as the whole number 15: the texts agree, not the types.)
        const std::string canonical = Canonical(value);
        if (Canonical(ParseJson(canonical)) != canonical) std::abort();
        Same(RecordFromJson(value));
    } catch (const JsonError&) {
    }
    static const clinora::fuzz::ScratchFile file("00101_CAL_DATA_AXIS_A_TEST_01-02-25.csv");
    if (!clinora::fuzz::WriteScratch(file.path, data, size)) std::abort();
    std::string why;
    if (const auto record = ImportedRecord(file.path, bytes, {"fuzz", "fuzz"}, why)) Same(*record);
    return 0;
}
