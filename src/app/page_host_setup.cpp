#include "app/page_host_setup.h"

#include <fcntl.h>
#include <unistd.h>

#include "app/address_lists.h"
#include "app/app_settings.h"
#include "app/settings_transfer.h"

namespace clinora {

bool CalibrationIniUsable(const std::string& workingFolder) {
    int fd = ::open((workingFolder + kCalibrationIniFile).c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool LoadAddressLists(const AppFiles& files, SharedState& state) {
    bool calibrationMode = CalibrationIniUsable(files.workingFolder);
    std::vector<std::string> current, pool, used;
    if (calibrationMode) {
        ReadAddressList(files.path(files.currentAddressFile), current);
        ReadAddressList(files.path(files.usedAddressFile), used);
    }
    ReadAddressList(files.path(files.poolAddressFile), pool);
    if (!AddressListsValid({&current, &pool, &used})) calibrationMode = false;
    state.locked([&](SharedData& d) {
        d.currentAddresses = std::move(current);
        d.addressPool = std::move(pool);
        d.usedAddresses = std::move(used);
        d.settings.calibrationMode = calibrationMode;
    });
    return calibrationMode;
}

void SaveAtExit(SharedState& state, const PageCopies& pages, AppSettings& settings,
                const AppFiles& files) {
    const SharedData data = state.snapshot();
    settings.update([&](SettingsValues& v) { ExitCopy(data.settings, pages, v); });
    const bool calibrationMode = data.settings.calibrationMode;
    if (calibrationMode)
        WriteAddressList(files.path(files.currentAddressFile), kCurrentAddressHeader,
                         data.currentAddresses);
    WriteAddressList(files.path(files.poolAddressFile), kPoolAddressHeader, data.addressPool);
    if (calibrationMode)
        WriteAddressList(files.path(files.usedAddressFile), kUsedAddressHeader, data.usedAddresses);
}

}  // namespace clinora
