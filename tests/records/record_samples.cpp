#include "record_samples.h"

#include <cstdlib>

#include "records/digest.h"
#include "records/sample_runs.h"

namespace clinora::records::samples {

std::vector<Record> EveryKind(const clinora::testing::TempFolder& folder) {
    const SampleRun run = MakeSampleRun(folder.path(), 2, 101, 7, kStation, 102);
    std::vector<Record> records = {run.calibrations[0], run.tests[1]};
    DeviceRecord constants;
    constants.a = {-1.25, 0.5, 1e-4, -2.4e-6, 0, 3.125e-8};
    for (const RecordKind kind : {RecordKind::Upload, RecordKind::Verify, RecordKind::Read}) {
        const TransferOutcome outcome{kind, "A", kind != RecordKind::Verify,
                                      "3 errors verifying # 101", run.calibrations[0].uuid};
        records.push_back(BuildTransferRecord(
            kStation, IdentityOf("101", "ZC-000001", 1.5f, 2.0f),
            {"00101_CAL_DATA_AXIS_A_01-02-25.csv", Sha256Hex("x")}, constants, outcome));
    }
    Record hostile = run.calibrations[1];
    hostile.uuid = RandomUuid();
    hostile.station = "station \"quoted\"; '); DROP TABLE records; -- \x1b[2J";
    hostile.board.serial = std::string("ZC-\0\xB0", 5);
    hostile.setup->operatorName = std::string(10240, 'O');
    hostile.readings[0].label = "A Axis,\xE2\x82\xAC 10 kB " + std::string(10240, 'x');
    hostile.imported = true;
    records.push_back(hostile);
    return records;
}

int ScaleCount(int normal) {
    if (const char* count = std::getenv("CLINORA_RECORDS_COUNT"); count && std::atoi(count) > 0)
        return std::atoi(count);
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return normal / 5;
#else
    return normal;
#endif
}

}  // namespace clinora::records::samples
