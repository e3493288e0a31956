#pragma once

#include <QString>

namespace clinora {

// The folder with the shipped data (prompts/, sounds/): beside an installed
// program (../share/clinora), or the source tree's data folder for a build.
QString DataFolder();

}  // namespace clinora
