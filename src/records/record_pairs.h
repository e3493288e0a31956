#pragma once

#include <string>
#include <vector>

#include "records/record.h"

namespace clinora::records {

class RecordStore;

// Which boards' certificates to make: named records (a board's calibration
// or test record, by UUID or the unique start of one), or every calibration
// and test of one serial number.
struct CertificateRequest {
    std::vector<std::string> records{};
    std::string serial{};
    bool latest = false;  // of a serial number: only its newest calibration and test
};

// What one certificate is made of: a board's calibration and the test of it.
struct RecordPair {
    Record calibration, test;
};

struct PairPlan {
    std::vector<RecordPair> pairs;
    // The boards (or records) that get no certificate, each with why.
    std::vector<std::string> refusals;
    std::string source;  // the store the records came from
};

// The calibration a test record checked: the one it names, else the newest
// calibration of the same serial number and axis made before the test.
// Nothing when there is none (a board without a serial number is only ever
// paired by name).
const Record* CalibrationOfTest(const Record& test, const std::vector<Record>& calibrations);

// "board ZC-000417 at address 101"
std::string BoardName(const Record& record);

// The pairs a request names, read from `store`. A calibration record pairs
// with the newest test of it; a test record with its calibration; a serial
// number with every test of it (oldest first), calibrations left untested
// named among the refusals. Throws StoreError when the store fails.
PairPlan PlanPairs(RecordStore& store, const CertificateRequest& request);

}  // namespace clinora::records
