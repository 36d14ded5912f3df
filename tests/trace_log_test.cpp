// The trace log holds every byte of a session, passwords included: it is made
// readable by its owner alone before anything is written to it.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "harness.h"
#include "net/trace_log.h"

namespace {

using posix::testing::messageBoxes;

class TraceLogTest : public TerminalWindowTest {
 protected:
  void TearDown() override {
    umask(savedMask_);
    TerminalWindowTest::TearDown();
  }
  mode_t savedMask_ = umask(0);  // as permissive as a umask gets
};

TEST_F(TraceLogTest, IsOwnerOnlyBeforeTheFirstByteWhateverTheUmaskOrAnOldFile) {
  struct Case {
    const char* what;
    const char* existing;  // old content, or null for no file
    mode_t existingMode;
  };
  for (const Case& c : {Case{"new file", nullptr, 0}, Case{"old 0644 file", "old secret", 0644},
                        Case{"old 0666 file", "old secret", 0666}}) {
    SCOPED_TRACE(c.what);
    std::remove("telntlog.txt");
    if (c.existing) {
      writeFile("telntlog.txt", c.existing);
      ASSERT_EQ(chmod("telntlog.txt", c.existingMode), 0);
    }
    FILE* log = OpenTraceLog(window_);
    ASSERT_NE(log, nullptr);
    struct stat st {};
    ASSERT_EQ(stat("telntlog.txt", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_size, 0);  // emptied, nothing written yet
    std::fputs("typed\n", log);
    std::fclose(log);
    EXPECT_EQ(readFile("telntlog.txt"), "typed\n");
    EXPECT_TRUE(messageBoxes().empty());
  }
}

TEST_F(TraceLogTest, AFileThatCannotBeMadePrivateIsRefusedWithAMessage) {
  // Not even root may change the mode of a file of /proc.
  ASSERT_EQ(symlink("/proc/self/comm", "telntlog.txt"), 0);
  char name[32] = {};
  FILE* comm = std::fopen("/proc/self/comm", "r");
  ASSERT_NE(comm, nullptr);
  ASSERT_NE(std::fgets(name, sizeof name, comm), nullptr);
  std::fclose(comm);

  EXPECT_EQ(OpenTraceLog(window_), nullptr);
  ASSERT_EQ(messageBoxes().size(), 1u);
  EXPECT_EQ(messageBoxes()[0].caption, "Trace Log");
  EXPECT_NE(messageBoxes()[0].text.find("could not be made readable by you alone"), std::string::npos);
  // The file was left as it was.
  comm = std::fopen("/proc/self/comm", "r");
  ASSERT_NE(comm, nullptr);
  char after[32] = {};
  ASSERT_NE(std::fgets(after, sizeof after, comm), nullptr);
  std::fclose(comm);
  EXPECT_STREQ(after, name);
}

TEST_F(TraceLogTest, AFileThatCannotBeOpenedLeavesTracingOffQuietly) {
  ASSERT_EQ(mkdir("telntlog.txt", 0700), 0);  // a directory of that name
  EXPECT_EQ(OpenTraceLog(window_), nullptr);
  EXPECT_TRUE(messageBoxes().empty());
}

}  // namespace
