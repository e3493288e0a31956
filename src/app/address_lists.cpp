#include "app/address_lists.h"

#include "app/text_line_file.h"

namespace clinora {

int64_t AddressValue(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    constexpr int64_t kCap = 1'000'000'000'000;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kCap) value = kCap;
    }
    return negative ? -value : value;
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
