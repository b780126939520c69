#include "qxclass/CCommPort.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <chrono>
#include <string>
#include <thread>

#include "Sandbox.h"
#include "WaitUntil.h"

namespace {

using Clock = std::chrono::steady_clock;

TEST(CommPortNames, ComNamesAreSerialDevicesOtherNamesLieUnderDev) {
    EXPECT_STREQ(CCommPort("COM2").DevicePath(), "/dev/ttyS1");
    EXPECT_STREQ(CCommPort("com2").DevicePath(), "/dev/ttyS1");
    EXPECT_STREQ(CCommPort("\\\\.\\COM10").DevicePath(), "/dev/ttyS9");
    EXPECT_STREQ(CCommPort("COM1:").DevicePath(), "/dev/ttyS0");
    EXPECT_STREQ(CCommPort("modem1").DevicePath(), "/dev/modem1");
    EXPECT_STREQ(CCommPort("commodem").DevicePath(), "/dev/commodem");
    EXPECT_STREQ(CCommPort("/dev/pts/7").DevicePath(), "/dev/pts/7");
}

// A pseudo-terminal pair: the port opens the device end, the test plays the modem at the other.
class CommPortPtyTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[128] = {};
        ASSERT_EQ(::openpty(&m_master, &m_device, name, nullptr, nullptr), 0);
        m_path = name;
        ::fcntl(m_master, F_SETFL, O_NONBLOCK);
    }
    void TearDown() override {
        ::close(m_master);
        ::close(m_device);
    }

    termios deviceSettings() const {
        termios t{};
        EXPECT_EQ(::tcgetattr(m_device, &t), 0);
        return t;
    }

    // Plays `bytes` into the port and waits (up to 30 s) until the device has them all for reading.
    void send(const std::string& bytes) const {
        ASSERT_EQ(::write(m_master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        qx::test::waitUntil(
            [&] {
                int waiting = 0;
                return ::ioctl(m_device, FIONREAD, &waiting) != 0 ||
                       waiting >= static_cast<int>(bytes.size());
            },
            std::chrono::seconds(30), std::chrono::milliseconds(1));
    }

    // Reads from the modem end until `count` bytes have come or 30 s have passed.
    std::string receive(std::size_t count) const {
        std::string got;
        auto deadline = Clock::now() + std::chrono::seconds(30);
        while (got.size() < count && Clock::now() < deadline) {
            pollfd p{m_master, POLLIN, 0};
            ::poll(&p, 1, 100);
            char chunk[4096];
            ssize_t n = ::read(m_master, chunk, sizeof chunk);
            if (n > 0)
                got.append(chunk, static_cast<std::size_t>(n));
        }
        return got;
    }

    int m_master = -1;
    int m_device = -1;
    std::string m_path;
};

TEST_F(CommPortPtyTest, OpenAppliesTheParametersAndKeepsThemOverReopening) {
    CCommPort port(m_path.c_str(), "baud=19200 parity=o data=7 stop=2");
    ASSERT_EQ(port.Open(0), 1);
    // A pseudo-terminal keeps speed, stop bits and the parity sense, but always reports eight data
    // bits without parity.
    termios t = deviceSettings();
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_NE(t.c_cflag & PARODD, 0u);
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);  // raw bytes, as a serial port delivers them

    ASSERT_EQ(port.Close(), 1);
    EXPECT_EQ(port.Close(), 1);
    ASSERT_EQ(port.SetCommParms(4800, 'N', 8, 1), 1);  // closed: applied at the next Open
    EXPECT_EQ(cfgetospeed(&(t = deviceSettings())), B19200);
    ASSERT_EQ(port.Open(0), 1);
    t = deviceSettings();
    EXPECT_EQ(cfgetospeed(&t), B4800);
    EXPECT_EQ(t.c_cflag & (PARODD | CSTOPB), 0u);
    EXPECT_EQ(port.SetCommParms(12345, 'N', 8, 1), 0);  // a rate the device does not know
    EXPECT_EQ(cfgetospeed(&(t = deviceSettings())), B4800);
}

TEST_F(CommPortPtyTest, WithoutBaudRateTheLineParametersAreNotTouched) {
    termios t = deviceSettings();
    cfsetospeed(&t, B2400);
    cfsetispeed(&t, B2400);
    t.c_cflag |= CSTOPB | PARODD;
    ASSERT_EQ(::tcsetattr(m_device, TCSANOW, &t), 0);

    CCommPort port(m_path.c_str());
    ASSERT_EQ(port.Open(0), 1);
    t = deviceSettings();
    EXPECT_EQ(cfgetospeed(&t), B2400);
    EXPECT_EQ(t.c_cflag & (CSTOPB | PARODD), static_cast<tcflag_t>(CSTOPB | PARODD));
}

TEST_F(CommPortPtyTest, OpenFailsForMissingSharedOrNonSerialDevices) {
    CCommPort first(m_path.c_str(), "9600,n,8,1");
    ASSERT_EQ(first.Open(0), 1);
    CCommPort second(m_path.c_str(), "9600,n,8,1");
    EXPECT_EQ(second.Open(0), 0);
    EXPECT_EQ(second.IsOpen(), 0);
    char buf[4];
    EXPECT_EQ(second.Read(buf, 4), -1);
    EXPECT_EQ(second.WriteString("x"), -1);
    EXPECT_EQ(second.SetTimeOut(1), 0);
    EXPECT_EQ(second.FlushBuffers(), 0);

    qx::test::Sandbox sandbox;
    CCommPort plainFile(sandbox.file("not-a-port", "x").c_str());
    EXPECT_EQ(plainFile.Open(0), 0);
    CCommPort missing("/dev/qx-no-such-port");
    EXPECT_EQ(missing.Open(0), 0);
}

TEST_F(CommPortPtyTest, ReadGivesUpWithinItsTimeouts) {
    CCommPort port(m_path.c_str(), "9600,n,8,1");
    ASSERT_EQ(port.Open(0), 1);
    ASSERT_EQ(port.SetTimeOut(2), 1);  // 20 ms between bytes; 20 ms + n x 20 ms for a read of n
    char buf[8] = {};

    auto start = Clock::now();
    EXPECT_EQ(port.Read(buf, 3), 0);
    auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(80));
    EXPECT_LT(waited, std::chrono::seconds(20));

    send("ab");
    EXPECT_EQ(port.Read(buf, 5), 2);  // the pause after "ab" ends the read
    EXPECT_EQ(std::string(buf, 2), "ab");

    send("xyz!");
    EXPECT_EQ(port.Read(reinterpret_cast<unsigned char*>(buf), 3), 3);
    EXPECT_EQ(std::string(buf, 3), "xyz");
    EXPECT_EQ(port.Read(buf, 1), 1);
    EXPECT_EQ(buf[0], '!');
}

TEST_F(CommPortPtyTest, WritesArriveWholeAndUnchanged) {
    CCommPort port(m_path.c_str(), "115200,n,8,1");
    ASSERT_EQ(port.Open(0), 1);
    std::string block;
    for (int i = 0; i < 40000; ++i)
        block += static_cast<char>(i * 7 % 256);  // every byte value, line ends and NULs included
    std::string arrived;
    std::thread modem([&] { arrived = receive(block.size() + 4); });
    EXPECT_EQ(port.Write(block.data(), static_cast<int>(block.size())), static_cast<int>(block.size()));
    EXPECT_EQ(port.WriteString("AT\r\n"), 4);
    modem.join();
    EXPECT_TRUE(arrived == block + "AT\r\n") << arrived.size() << " bytes arrived";
}

TEST_F(CommPortPtyTest, CloseFromAnotherThreadReleasesAWaitingRead) {
    CCommPort port(m_path.c_str(), "9600,n,8,1");
    ASSERT_EQ(port.Open(0), 1);
    ASSERT_EQ(port.SetTimeOut(0), 1);  // no limit
    int result = 0;
    std::thread reader([&] {
        char buf[4];
        result = port.Read(buf, 4);
    });
    EXPECT_EQ(port.Close(), 1);
    reader.join();
    EXPECT_EQ(result, -1);
}

}  // namespace
