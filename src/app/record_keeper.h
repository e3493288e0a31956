#pragma once

#include <vector>

#include "records/record.h"

namespace clinora {

// Where the Cal and Test pages hand their records: in the program the
// records thread, which stores them (or keeps them for a later try) and
// tells the outcome as an event; the pages never wait for it.
class RecordKeeper {
public:
    virtual ~RecordKeeper() = default;
    // The records of one event (the boards of a run), stored together.
    virtual void keep(std::vector<records::Record> records) = 0;
};

}  // namespace clinora
