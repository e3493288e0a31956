#pragma once

#include <QIcon>

namespace clinora {

// The program's mark, a level vial tilted in a ring (the desktop entry's
// icon drawn the same way), at the sizes window managers and panels ask for.
QIcon ProgramIcon();

}  // namespace clinora
