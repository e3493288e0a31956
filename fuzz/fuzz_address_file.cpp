// The address-file reader against arbitrary files: each entry is printable
// text, non-empty and there once.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "app/address_lists.h"
#include "scratch_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const clinora::fuzz::ScratchFile file("addresses.csv");
    if (!clinora::fuzz::WriteScratch(file.path, data, size)) std::abort();
    std::vector<std::string> list{"stale"};
    clinora::ReadAddressList(file.path, list);
    const std::set<std::string> distinct(list.begin(), list.end());
    if (distinct.size() != list.size()) std::abort();
    for (const auto& entry : list) {
        if (entry.empty()) std::abort();
        for (char c : entry)
            if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 127)
                std::abort();
        clinora::AddressValue(entry);
    }
    clinora::AddressListsValid({&list});
    return 0;
}
