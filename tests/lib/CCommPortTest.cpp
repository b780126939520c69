#include "qxclass/CCommPort.h"

#include <gtest/gtest.h>

// The line parameters and what a closed port does, the same on both systems; the device names and the
// talk over a real pair of ports are in the system's own test file.

namespace {

TEST(CommPortParameters, BothModeFormsSetWhatTheyName) {
    CCommPort keywords("COM1", "baud=9600 parity=e data=7 stop=2");
    EXPECT_EQ(keywords.BaudRate(), 9600);
    EXPECT_EQ(keywords.Parity(), 2);
    EXPECT_EQ(keywords.DataBits(), 7);
    EXPECT_EQ(keywords.StopBits(), 2);

    CCommPort positional("COM1", "19200,o,8,1");
    EXPECT_EQ(positional.BaudRate(), 19200);
    EXPECT_EQ(positional.Parity(), 1);
    EXPECT_EQ(positional.DataBits(), 8);
    EXPECT_EQ(positional.StopBits(), 0);

    // Abbreviated rates, a device name in front, handshake keys; what is not named stays.
    ASSERT_EQ(positional.SetCommParms("COM1: BAUD=96 Parity=M xon=on dtr=hs"), 1);
    EXPECT_EQ(positional.BaudRate(), 9600);
    EXPECT_EQ(positional.Parity(), 3);
    EXPECT_EQ(positional.DataBits(), 8);
    ASSERT_EQ(positional.SetCommParms("24,,,2"), 1);
    EXPECT_EQ(positional.BaudRate(), 2400);
    EXPECT_EQ(positional.Parity(), 3);
    EXPECT_EQ(positional.StopBits(), 2);
}

TEST(CommPortParameters, DefinitionsThatDoNotParseChangeNothing) {
    CCommPort port("COM1", "4800,n,8,1");
    for (const char* bad : {"", "   ", "baud=fast", "parity=x", "data=9", "stop=3", "4800,q,8,1",
                            "speed=9600", "9600,n,8,1,x,extra", "baud=9600 junk"}) {
        EXPECT_EQ(port.SetCommParms(bad), 0) << bad;
        EXPECT_EQ(port.BaudRate(), 4800) << bad;
        EXPECT_EQ(port.Parity(), 0) << bad;
        EXPECT_EQ(port.DataBits(), 8) << bad;
    }
    EXPECT_EQ(port.SetCommParms(static_cast<const char*>(nullptr)), 0);
}

TEST(CommPortParameters, UnknownParityAndStopBitsKeepThoseInForce) {
    CCommPort port("COM1", 9600, 'E', 7, 2);
    ASSERT_EQ(port.SetCommParms(2400, 'X', 8, 3), 1);  // closed: only stored
    EXPECT_EQ(port.BaudRate(), 2400);
    EXPECT_EQ(port.DataBits(), 8);
    EXPECT_EQ(port.Parity(), 2);
    EXPECT_EQ(port.StopBits(), 2);
}

TEST(CommPortClosed, TransfersAndSettingsThatNeedTheDeviceFailWithoutOne) {
    CCommPort port("COM1", "9600,n,8,1");
    char buf[4] = {};
    EXPECT_EQ(port.IsOpen(), 0);
    EXPECT_EQ(port.Read(buf, sizeof buf), -1);
    EXPECT_EQ(port.Write("ab", 2), -1);
    EXPECT_EQ(port.WriteString("ab"), -1);
    EXPECT_EQ(port.SetTimeOut(5), 0);
    EXPECT_EQ(port.FlushBuffers(), 0);
    EXPECT_EQ(port.SetCommParms(), 1);  // nothing to apply yet
    EXPECT_EQ(port.Close(), 1);
}

}  // namespace
