#pragma once

#include "app/app_settings.h"
#include "app/page_copies.h"
#include "link/shared_state.h"

namespace clinora {

// Seeds the working copies from the persisted settings: every working copy,
// the baud rate from "COMBaud", the log file name from "DataFile" and the
// prompt file name from "TiltRange".
void SeedWorkingCopies(const SettingsValues& values, SharedData& data, PageCopies& pages);

// The exit copy: the working copies back into the settings, except the baud
// rate, which the worker writes directly. "COMPort", "DeviceChoice" and
// "UseTags" are not touched either.
void ExitCopy(const WorkingCopies& copies, const PageCopies& pages, SettingsValues& values);

}  // namespace clinora
