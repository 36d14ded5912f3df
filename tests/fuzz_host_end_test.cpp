// The fuzz targets' loopback host end, under a timer signal like libFuzzer's
// timeout alarm: setting up the pair and sending must not fail when a signal
// interrupts connect, accept or send (a window-message run once aborted with
// "loopback connect: Interrupted system call").
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/time.h>
#include <unistd.h>

#include <csignal>

#include "../fuzz/host_end.h"

namespace {

volatile sig_atomic_t g_alarms = 0;
void countAlarm(int) { g_alarms = g_alarms + 1; }

TEST(FuzzHostEndTest, PairsAreMadeAndFedWhileATimerSignalKeepsInterrupting) {
  struct sigaction alarm {}, previous{};
  alarm.sa_handler = countAlarm;  // without SA_RESTART, as libFuzzer installs its handler
  sigemptyset(&alarm.sa_mask);
  ASSERT_EQ(sigaction(SIGALRM, &alarm, &previous), 0);
  itimerval every{{0, 50}, {0, 50}}, off{};
  setitimer(ITIMER_REAL, &every, nullptr);

  const uint8_t bytes[] = {0xFF, 0xFD, 0x18, 'x', 'y'};
  int delivered = 0;
  for (int i = 0; i < 600; ++i) {
    int client = -1;
    fuzz::openHostEnd(&client);  // aborts the process when it fails
    fuzz::hostEndSends(client, bytes, sizeof bytes);
    int ready = 0;
    ioctl(client, FIONREAD, &ready);
    if (ready == static_cast<int>(sizeof bytes)) ++delivered;
    close(client);
  }
  fuzz::closeHostEnd();

  setitimer(ITIMER_REAL, &off, nullptr);
  sigaction(SIGALRM, &previous, nullptr);
  EXPECT_EQ(delivered, 600);
  EXPECT_GT(g_alarms, 0);
}

}  // namespace
