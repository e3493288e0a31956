#include "app/monitor_link.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

#include "link/serial_port.h"
#include "link/termios_device.h"
#include "link/worker_codes.h"
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
    EXPECT_EQ(PortFailureText("/dev/ttyUSB0", EBUSY),
              "Cannot open /dev/ttyUSB0: in use by another program");
    EXPECT_EQ(PortFailureText("/dev/ttyUSB0", EIO).rfind("Cannot open /dev/ttyUSB0: ", 0), 0u);
}

// The connect flow: read first, then the identity, then read again; readings
// from before a restart are not shown; a shown reading goes stale.
TEST(MonitorLink, ReadsFirstThenTheIdentityAndSkipsReadingsFromBeforeARestart) {
    using Next = MonitorLink::Next;
    MonitorLink link;
    EXPECT_TRUE(link.onEvent(kEventAddressQuery, 1, 0).forgetSerial);
    MonitorLink::Outcome first = link.onEvent(kEventSingleReading, 1, 100);
    EXPECT_TRUE(first.show);
    EXPECT_EQ(first.next, Next::FetchIdentity);
    link.identityRequested(true);
    EXPECT_EQ(link.statusText(), kIdentityText);
    // A reading posted before the worker took the request is shown and asks nothing.
    EXPECT_EQ(link.onEvent(kEventSingleReading, 1, 200).next, Next::Nothing);
    EXPECT_EQ(link.onEvent(kEventDeviceInfo, 0, 300).next, Next::Nothing);  // the worker retries
    const MonitorLink::Outcome identity = link.onEvent(kEventDeviceInfo, 1, 400);
    EXPECT_TRUE(identity.serialKnown);
    EXPECT_EQ(identity.next, Next::ResumeReading);
    link.restartRequested();
    EXPECT_FALSE(link.onEvent(kEventSingleReading, 1, 500).show);  // taken before the restart
    link.onPortStatus(kPortIdle, "");
    const MonitorLink::Outcome again = link.onEvent(kEventSingleReading, 1, 3000);
    EXPECT_TRUE(again.show);
    EXPECT_EQ(again.next, Next::Nothing);  // the identity is asked once
    EXPECT_EQ(link.statusText(), "Reading Monitor");
    EXPECT_FALSE(link.stale(3000 + MonitorLink::kFreshMs));
    EXPECT_TRUE(link.stale(3001 + MonitorLink::kFreshMs));
    link.readingWithdrawn();
    EXPECT_EQ(link.statusText(), kNoNewReadingText);
    EXPECT_FALSE(link.stale(99999));

    // Failures in words.
    EXPECT_FALSE(link.onEvent(kEventAddressQuery, 0, 4000).forgetSerial);
    EXPECT_EQ(link.statusText(), kNoAnswerText);
    link.onPortStatus(kPortOpenFailed, "Cannot open x: no such device (unplugged?)");
    EXPECT_EQ(link.statusText(), "Cannot open x: no such device (unplugged?)");
}

}  // namespace
}  // namespace clinora
