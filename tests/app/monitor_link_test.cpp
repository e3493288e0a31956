#include "app/monitor_link.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

#include "link/serial_port.h"
#include "link/termios_device.h"
#include "temp_folder.h"

namespace clinora {
namespace {

// What the status line says for devices the real port cannot use, opened as
// the program opens them, and for the errors only other users or programs
// cause (a device held by another program, one the user may not open).
TEST(PortFailureText, NamesThePathAndTheReason) {
    testing::TempFolder dir;
    const std::string file = dir.path() + "not-a-port";
    std::ofstream(file) << "text";
    struct Case {
        std::string path;
        std::string says;
    };
    const Case opened[] = {
        {dir.path() + "ttyUSB7", "Cannot open " + dir.path() + "ttyUSB7: no such device"},
        {"/dev/null", "Cannot use /dev/null: not a serial device"},
        {file, "Cannot use " + file + ": not a serial device"},
        {dir.path(), "Cannot use " + dir.path() + ": not a serial device"},
    };
    for (const Case& c : opened) {
        TermiosDevice device;
        SerialPort port(device);
        port.pinPath(c.path);
        EXPECT_FALSE(port.Open(0, 115200)) << c.path;
        EXPECT_EQ(port.lastPath(), c.path);
        EXPECT_EQ(PortFailureText(port.lastPath(), port.lastError()).rfind(c.says, 0), 0u)
            << PortFailureText(port.lastPath(), port.lastError());
    }
    EXPECT_EQ(PortFailureText("/dev/ttyUSB0", EACCES),
              "Cannot open /dev/ttyUSB0: permission denied; the user must be in the dialout group");
    // Held by another program now (its lock), or left exclusive by an older one.
    EXPECT_EQ(PortFailureText("/dev/ttyUSB0", EAGAIN),
              "Cannot open /dev/ttyUSB0: in use by another program");
    EXPECT_EQ(PortFailureText("/dev/ttyUSB0", EBUSY),
              "Cannot open /dev/ttyUSB0: locked for exclusive use by another program, or left "
              "so by an older version of this one; if nothing else uses it, free it with: sudo "
              "clinora-cli unlock --port /dev/ttyUSB0");
    EXPECT_EQ(NoAnswerText("/dev/ttyUSB0"), "No answer from the boards on /dev/ttyUSB0");
    EXPECT_EQ(PortFailureText("/dev/ttyUSB0", EIO).rfind("Cannot open /dev/ttyUSB0: ", 0), 0u);
}

}  // namespace
}  // namespace clinora
