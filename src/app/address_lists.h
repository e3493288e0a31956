#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace clinora {

inline constexpr const char* kCurrentAddressFile = "CurrentAddresses.csv";
inline constexpr const char* kPoolAddressFile = "PoolAddresses.csv";
inline constexpr const char* kUsedAddressFile = "UsedAddresses.csv";
inline constexpr const char* kCurrentAddressHeader = "Current Addresses File";
inline constexpr const char* kPoolAddressHeader = "Addresses Pool File";
inline constexpr const char* kUsedAddressHeader = "Used Addresses File";
inline constexpr int64_t kHighestAddress = 65535;

// The decimal value of an address text: leading digits after optional blanks
// and a sign; text without digits counts as 0. Very long digit runs saturate.
int64_t AddressValue(std::string_view text);

// A bus address typed by the user, checked before it reaches a list or the
// bus. `address` is its decimal text without leading zeros; `refusal` says in
// words why it cannot be used (empty when it can).
inline constexpr const char* kAddressRangeText = "Address must be a whole number from 0 to 65535.";
inline constexpr const char* kBroadcastRefusedText =
    "65535 addresses every board at once.\nGive one board another address.";
enum class AddressRole {
    Target,      // a board (or all boards) to talk to: 0..65535
    NewAddress,  // what one board is to answer to: 0..65534
};
struct TypedAddress {
    std::string address;
    std::string refusal;
    bool ok() const { return refusal.empty(); }
};
TypedAddress CheckTypedAddress(std::string_view text, AddressRole role);

// True when no entry of the lists is above the highest bus address.
bool AddressListsValid(const std::vector<const std::vector<std::string>*>& lists);

// Empties `list`, then reads the file (creating it empty when missing) and
// drops its first line, the header. An empty path does nothing.
void ReadAddressList(const std::string& path, std::vector<std::string>& list);

// Writes the header and the list over an existing file; a file that does not
// exist is not written (false).
bool WriteAddressList(const std::string& path, const std::string& header,
                      const std::vector<std::string>& list);

}  // namespace clinora
