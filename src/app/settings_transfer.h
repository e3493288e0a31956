#pragma once

#include "app/app_settings.h"
#include "link/shared_state.h"

namespace clinora {

// Seeds the shared state from the persisted settings: every working copy,
// the baud rate from "COMBaud", the log file name from "DataFile" and the
// prompt file name from "TiltRange".
void SeedSharedData(const SettingsValues& values, SharedData& data);

// The exit copy: the working copies back into the settings, except the baud
// rate, which the worker writes directly. "COMPort", "DeviceChoice" and
// "UseTags" are not touched either.
void ExitCopy(const WorkingCopies& copies, SettingsValues& values);

}  // namespace clinora
