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
