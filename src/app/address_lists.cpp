#include "app/address_lists.h"

#include "app/text_line_file.h"
#include "link/number_text.h"

namespace clinora {

int64_t AddressValue(std::string_view text) { return ParseLeadingIntSaturated(text); }

TypedAddress CheckTypedAddress(std::string_view text, AddressRole role) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text.empty()) return {"", kAddressRangeText};
    for (char c : text)
        if (c < '0' || c > '9') return {"", kAddressRangeText};
    while (text.size() > 1 && text.front() == '0') text.remove_prefix(1);
    if (text.size() > 5 || AddressValue(text) > kHighestAddress) return {"", kAddressRangeText};
    if (role == AddressRole::NewAddress && AddressValue(text) == kHighestAddress)
        return {"", kBroadcastRefusedText};
    return {std::string(text), ""};
}

bool AddressListsValid(const std::vector<const std::vector<std::string>*>& lists) {
    for (const auto* list : lists)
        for (const auto& entry : *list)
            if (AddressValue(entry) > kHighestAddress) return false;
    return true;
}

void ReadAddressList(const std::string& path, std::vector<std::string>& list) {
    if (path.empty()) return;
    list.clear();
    TextLineFile file;
    if (!file.open(path, false) && !file.open(path, true)) return;
    file.readList(list);
    file.close();
    if (!list.empty()) list.erase(list.begin());
}

bool WriteAddressList(const std::string& path, const std::string& header,
                      const std::vector<std::string>& list) {
    TextLineFile file;
    if (!file.open(path, false)) return false;
    std::vector<std::string> lines;
    lines.reserve(list.size() + 1);
    lines.push_back(header);
    lines.insert(lines.end(), list.begin(), list.end());
    return file.writeList(lines);
}

}  // namespace clinora
