// The prompt file reader against arbitrary files: every number it gives is
// either the "absent" -1 or a finite value.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "calib/prompt_file.h"
#include "scratch_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const clinora::fuzz::ScratchFile file("prompts.csv");
    if (!clinora::fuzz::WriteScratch(file.path, data, size)) std::abort();
    std::vector<clinora::calib::PromptRow> rows;
    const int count = clinora::calib::ReadPromptFileForRange(file.path, 15.0, rows);
    if (count != static_cast<int>(rows.size())) std::abort();
    for (const auto& r : rows)
        for (double v : {r.aTarget, r.aLow, r.aHigh, r.bTarget, r.bLow, r.bHigh, r.aTestTarget,
                         r.aTestLow, r.aTestHigh, r.bTestTarget, r.bTestLow, r.bTestHigh})
            if (!std::isfinite(v)) std::abort();
    return 0;
}
