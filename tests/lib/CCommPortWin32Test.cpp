#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "qxclass/CCommPort.h"

namespace {

TEST(CommPortNamesWin32, ComNamesOpenInTheDeviceNamespaceOtherNamesToo) {
    EXPECT_STREQ(CCommPort("COM2").DevicePath(), "\\\\.\\COM2");
    EXPECT_STREQ(CCommPort("com2").DevicePath(), "\\\\.\\COM2");
    EXPECT_STREQ(CCommPort("COM12:").DevicePath(), "\\\\.\\COM12");
    EXPECT_STREQ(CCommPort("modem1").DevicePath(), "\\\\.\\modem1");
    EXPECT_EQ(CCommPort("COM250").Open(), 0);
}

// Two serial ports joined by a pty pair (socat) that the test set-up maps into the Wine prefix, named
// in QX_TEST_COM_PAIR ("COM7,COM8"; $QX_TEST_COM_PAIR overrides it).
class CommPortPairWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        const char* pair = std::getenv("QX_TEST_COM_PAIR");
#ifdef QX_TEST_COM_PAIR
        if (!pair)
            pair = QX_TEST_COM_PAIR;
#endif
        std::string names = pair ? pair : "";
        std::size_t comma = names.find(',');
        if (comma == std::string::npos)
            GTEST_SKIP() << "no serial port pair: socat is missing";
        first = names.substr(0, comma);
        second = names.substr(comma + 1);
    }

    std::string first, second;
};

TEST_F(CommPortPairWin32, WritesArriveWholeAndUnchangedBothWays) {
    CCommPort a(first.c_str(), "9600,n,8,1"), b(second.c_str(), 9600, 'N', 8, 1);
    ASSERT_EQ(a.Open(), 1);
    ASSERT_EQ(b.Open(), 1);
    std::string bytes("\x00\x11\x13\r\n\xff text", 11);
    ASSERT_EQ(a.Write(bytes.data(), int(bytes.size())), int(bytes.size()));
    char got[32] = {};
    ASSERT_EQ(b.Read(got, int(bytes.size())), int(bytes.size()));
    EXPECT_EQ(std::string(got, bytes.size()), bytes);
    ASSERT_EQ(b.WriteString("back"), 4);
    ASSERT_EQ(a.Read(got, 4), 4);
    EXPECT_EQ(std::string(got, 4), "back");
    EXPECT_EQ(a.Close(), 1);
    EXPECT_EQ(a.Read(got, 1), -1);
}

TEST_F(CommPortPairWin32, OpenIsExclusiveAndParametersStayWithTheObject) {
    CCommPort a(first.c_str()), again(first.c_str());
    ASSERT_EQ(a.Open(), 1);
    // Windows keeps a serial port to its one opener; Wine does not for a port over a pty.
    if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) {
        EXPECT_EQ(again.Open(), 0);
    }
    // An unknown parity letter and three stop bits keep what is in force.
    EXPECT_EQ(a.SetCommParms(19200, 'E', 7, 2), 1);
    a.SetCommParms(4800, 'X', 8, 3);
    EXPECT_EQ(a.BaudRate(), 4800);
    EXPECT_EQ(a.Parity(), 2);
    EXPECT_EQ(a.StopBits(), 2);
    EXPECT_EQ(a.SetCommParms(9600, 'N', 9, 1), 0);  // no such data bits
}

TEST_F(CommPortPairWin32, ReadGivesUpWithinItsTimeoutsAndCloseReleasesAWait) {
    CCommPort a(first.c_str(), "9600,n,8,1"), b(second.c_str(), "9600,n,8,1");
    ASSERT_EQ(a.Open(), 1);
    ASSERT_EQ(b.Open(), 1);
    ASSERT_EQ(a.SetTimeOut(2), 1);
    char got[8];
    EXPECT_EQ(a.Read(got, 4), 0);  // nothing comes: 20 ms + 4 x 20 ms at most
    ASSERT_EQ(b.WriteString("ab"), 2);
    EXPECT_EQ(a.Read(got, 4), 2);  // fewer than asked when the pause after them runs out

    ASSERT_EQ(a.SetTimeOut(0), 1);  // without limit: only Close ends the wait
    std::thread closer([&] {
        while (a.IsOpen() && a.Close() != 1) {
        }
    });
    int result = a.Read(got, 4);
    closer.join();
    EXPECT_EQ(result, -1);
}

}  // namespace
