#pragma once

#include <QString>

namespace clinora {

// The folder with the shipped data (prompts/, sounds/): $CLINORA_DATA_DIR when
// set, else where an installed program keeps it (../share/clinora), else the
// source tree's data folder for a program in its build tree.
QString DataFolder();

}  // namespace clinora
