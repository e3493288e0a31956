#pragma once

#include <string>

#include "app/app_files.h"
#include "app/page_copies.h"
#include "link/shared_state.h"

namespace clinora {

class AppSettings;

// Calibration mode is on when "calibration.ini" in the folder can be opened
// for reading and writing. Its content is not used.
bool CalibrationIniUsable(const std::string& workingFolder);

// Decides calibration mode and reads the address lists into the shared
// state: the current and used lists only in calibration mode, the pool
// always. An entry above 65535 in any list read switches calibration mode off;
// the entry stays in its list. Returns the calibration mode.
bool LoadAddressLists(const AppFiles& files, SharedState& state);

// The exit's file part: the working copies back into the settings, then the
// current address file (calibration mode only), the pool file, and the used
// address file (calibration mode only). Files that do not exist are skipped.
void SaveAtExit(SharedState& state, const PageCopies& pages, AppSettings& settings,
                const AppFiles& files);

}  // namespace clinora
