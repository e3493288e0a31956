#pragma once

#include <cstdint>

#include "records/certificate_builder.h"
#include "records/record_pairs.h"

namespace clinora::records {

// The certificate of one board from its calibration record and the test
// record of it: the station and operator are the calibration's, the
// laboratory (and customer) those of `parties`, the station's settings at
// the time of issue. Nothing of the screen goes in, so issuing the same
// records again gives the same certificate (its date of issue aside).
CertificateBuild CertificateOfRecords(CertificateParties parties, const RecordPair& pair,
                                      int64_t issueTime);

}  // namespace clinora::records
