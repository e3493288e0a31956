#pragma once

namespace clinora {

// Serves the program's own accessible interfaces (through QAccessible, which
// the AT-SPI bridge reads):
// - a ReadoutLabel (every ColourBox is one) is named by its accessible name,
//   its shown text is its value (and its readable text);
// - a selector (QComboBox) is named by its accessible name when it has one.
//   Qt on Linux names a selector by its current entry and ignores the name.
// Call once the QApplication exists and before widgets are asked about:
// installed earlier, Qt's own interfaces would take precedence. Calling it
// again does nothing.
void InstallAccessibleInterfaces();

}  // namespace clinora
