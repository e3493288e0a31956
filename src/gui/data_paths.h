#pragma once

#include <QString>

namespace clinora {

// The folder with the shipped data (prompts/, sounds/): $CLINORA_DATA_DIR when
// set, else where an installed program keeps it (../share/clinora), else the
// source tree's data folder for a program in its build tree.
QString DataFolder();

// The manual: the installed HTML or text copy of the README beside the data
// (../doc/clinora/), else the source tree's README for a program in its
// build tree; empty when there is none.
QString ManualFile();

}  // namespace clinora
