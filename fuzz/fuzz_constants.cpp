// The calibration constants reader against arbitrary files: every value it
// takes fits the boards' single-precision cells.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "calib/cal_data_file.h"
#include "link/number_text.h"
#include "scratch_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const clinora::fuzz::ScratchFile file("constants.csv");
    if (!clinora::fuzz::WriteScratch(file.path, data, size)) std::abort();
    clinora::calib::CalDataFile reader;
    clinora::DeviceRecord record;
    reader.ReadCalibrationConstants(file.path, record);
    for (const auto& axis : {record.a, record.b})
        for (double v : axis)
            if (!clinora::FitsFloat(v)) std::abort();
    for (double v : {record.aCrossLinear, record.aCrossQuadratic, record.bCrossLinear,
                     record.bCrossQuadratic})
        if (!clinora::FitsFloat(v)) std::abort();
    return 0;
}
