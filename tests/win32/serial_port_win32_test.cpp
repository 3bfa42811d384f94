// The Windows serial port under Wine, against a pseudo-terminal linked as a COM port. The
// pseudo-terminal's other end is tests/win32/serial_pty_peer.py, which runs this program with
// SK720_TEST_COM set; without it (a plain run of the test program) the test is skipped. The
// command frames over this port are the live end-to-end scenarios' (against the simulated head).
#include "link/serial_port_win32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "link/head_protocol.h"

namespace sk720 {
namespace {

TEST(SerialPortWin32, PortListOpenReadRuleAndRateSwitch) {
  const char* com = std::getenv("SK720_TEST_COM");
  if (!com) GTEST_SKIP() << "needs the pseudo-terminal peer (serial_pty_peer.py)";
  const uint32_t portNumber = uint32_t(std::atoi(com));
  resetHeadWaitWindows();
  std::vector<ComPortEntry> table(kComPortTableSize);
  ASSERT_TRUE(enumerateComPorts(table.data()));
  bool sawHead = false, sawLower = false;
  for (const ComPortEntry& e : table) {
    if (e.portNumber == 0) break;
    const std::string name = comPortNameUtf8(e);
    sawHead = sawHead || (e.portNumber == portNumber && name == "COM" + std::to_string(portNumber));
    sawLower = sawLower || (e.portNumber == 12 && name == "com12");
  }
  EXPECT_TRUE(sawHead && sawLower) << sawHead << sawLower;

  EXPECT_EQ(openHeadPort(250), INVALID_HANDLE_VALUE);
  HANDLE h = openHeadPort(portNumber);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  auto port = adoptPortHandle(h);

  uint8_t buf[64];
  DWORD t = GetTickCount();
  EXPECT_EQ(port->read(buf, sizeof buf), 0);
  EXPECT_GE(GetTickCount() - t, 50u);  // waited for a first byte that did not come

  ASSERT_EQ(port->write(reinterpret_cast<const uint8_t*>("@"), 1), 1);
  Sleep(300);  // the reply is waiting now
  // Waiting bytes come back from the first call, without the 100 ms wait for a first byte.
  t = GetTickCount();
  int32_t got = port->read(buf, sizeof buf);
  const DWORD firstCall = GetTickCount() - t;
  ASSERT_GT(got, 0);
  EXPECT_LT(firstCall, 90u);
  while (got < 6) {
    const int32_t n = port->read(buf + got, int32_t(sizeof buf) - got);
    ASSERT_GE(n, 0);
    if (n == 0) break;
    got += n;
  }
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), size_t(got)), "#SYNC\n");

  EXPECT_EQ(switchBaud(*port, 921600), 0);
  EXPECT_EQ(port->bitsPerSecond(), 921600u);  // what the long-record budget is based on
  port->close();
  EXPECT_EQ(port->read(buf, 1), -5);
}

}  // namespace
}  // namespace sk720
