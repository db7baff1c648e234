// Replacing files in one step.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/atomic_file.h"
#include "xml_test_support.h"

namespace quenlo::platform {
namespace {

using xml::testing_support::ReadBytes;
using xml::testing_support::ScratchDir;
using xml::testing_support::WriteBytes;

TEST(AtomicFile, CreatesAndReplaces) {
  ScratchDir dir;
  const std::string path = dir / "f.bin";
  const std::string binary("a\0b\r\n\xff", 6);
  ASSERT_TRUE(WriteFileAtomically(path, binary));
  EXPECT_EQ(ReadBytes(path), binary);
  ASSERT_TRUE(WriteFileAtomically(path, ""));
  EXPECT_EQ(ReadBytes(path), "");
  EXPECT_EQ(dir.Listing(), "f.bin");
}

TEST(AtomicFile, NewFileGetsTheUsualMode) {
  ScratchDir dir;
  const mode_t old = umask(022);
  const bool ok = WriteFileAtomically(dir / "new", "x");
  umask(old);
  ASSERT_TRUE(ok);
  struct stat st;
  ASSERT_EQ(stat((dir / "new").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST(AtomicFile, RelativeNameIsInTheCurrentDirectory) {
  ScratchDir dir;
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  const bool ok = WriteFileAtomically("relative.xml", "x");
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_TRUE(ok);
  EXPECT_EQ(ReadBytes(dir / "relative.xml"), "x");
}

TEST(AtomicFile, VeryLongNameStillGetsATemporaryFile) {
  ScratchDir dir;
  const std::string name(250, 'n');  // the temporary name must not exceed the limit
  ASSERT_TRUE(WriteFileAtomically(dir / name, "x"));
  EXPECT_EQ(dir.Listing(), name);
}

TEST(AtomicFile, FailuresLeaveTheTargetAndNoLeftovers) {
  ScratchDir dir;
  const std::string path = dir / "target";
  WriteBytes(path, "old content");
  SetWriteFailureAfterForTesting(3);
  EXPECT_FALSE(WriteFileAtomically(path, "new content that is longer"));
  EXPECT_FALSE(WriteFileAtomically(dir / "other", "never created"));
  SetWriteFailureAfterForTesting(std::nullopt);
  EXPECT_EQ(ReadBytes(path), "old content");
  EXPECT_EQ(dir.Listing(), "target");
}

}  // namespace
}  // namespace quenlo::platform
