// The state file: written with the default TV when missing, loaded when
// present, replaced whole after every change, refused when malformed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "television.h"
#include "tv_state.h"

namespace fs = std::filesystem;
using namespace tvsim;

namespace {

class StateFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tvsim-state-XXXXXX";
    dir_ = mkdtemp(tmpl);
    path_ = (dir_ / "tv.json").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string ReadFile() {
    std::ifstream in(path_);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::vector<std::string> DirEntries() {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir_)) out.push_back(e.path().filename().string());
    return out;
  }

  fs::path dir_;
  std::string path_;
};

}  // namespace

TEST_F(StateFileTest, RoundTripKeepsEveryField) {
  TvState tv = DefaultTv();
  tv.packages[3].installed = false;
  tv.packages[4].enabled = EnabledState::DisabledUser;
  tv.packages[5].enabled = EnabledState::Disabled;
  tv.changes.push_back({"pm uninstall --user 0 x", "Success"});
  std::string error;
  ASSERT_TRUE(SaveState(tv, path_, &error)) << error;
  auto back = LoadState(path_, &error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(ToJson(*back).Dump(0), ToJson(tv).Dump(0));
  // One package, process or change a line, for people reading the file.
  const std::string text = ReadFile();
  EXPECT_NE(text.find("\n    {\"name\": \"" + tv.packages[0].name + "\", \"system\": true"),
            std::string::npos);
}

TEST_F(StateFileTest, TelevisionWritesTheDefaultWhenTheFileIsMissing) {
  Television tv(DefaultTv(), 7, path_);
  std::string error;
  ASSERT_TRUE(tv.Open(&error)) << error;
  auto saved = LoadState(path_, &error);
  ASSERT_TRUE(saved) << error;
  EXPECT_EQ(ToJson(*saved).Dump(0), ToJson(DefaultTv()).Dump(0));
}

TEST_F(StateFileTest, TelevisionLoadsAnExistingFileAndSavesEachChange) {
  TvState small;
  small.packages.push_back(
      {"com.example.one", true, true, EnabledState::Enabled, 10050, "/system/app/One/One.apk"});
  small.packages.push_back({"com.example.two", false, true, EnabledState::Enabled, 10051,
                            "/data/app/com.example.two-1/base.apk"});
  small.processes.push_back({"u0_a51", 300, 100, 1000000, 20000, "SyS_epoll_wait", "00000000", "S",
                             "com.example.two", "com.example.two"});
  std::string error;
  ASSERT_TRUE(SaveState(small, path_, &error));

  Television tv(DefaultTv(), 6, path_);
  ASSERT_TRUE(tv.Open(&error)) << error;
  EXPECT_EQ(tv.Execute("pm list packages").Stdout(),
            "package:com.example.one\npackage:com.example.two\n");
  // Reading changes nothing on disk.
  EXPECT_EQ(LoadState(path_, &error)->changes.size(), 0u);

  EXPECT_EQ(tv.Execute("pm uninstall com.example.two").Stdout(), "Success\n");
  auto after = LoadState(path_, &error);
  ASSERT_TRUE(after) << error;
  ASSERT_EQ(after->packages.size(), 1u);
  EXPECT_TRUE(after->processes.empty());
  ASSERT_EQ(after->changes.size(), 1u);
  EXPECT_EQ(after->changes[0].command, "pm uninstall com.example.two");
  EXPECT_EQ(after->changes[0].output, "Success");
  // Replaced in one step: no temporary file is left beside it.
  EXPECT_EQ(DirEntries(), std::vector<std::string>{"tv.json"});

  // A later simulator picks up where this one stopped.
  Television again(DefaultTv(), 7, path_);
  ASSERT_TRUE(again.Open(&error));
  EXPECT_EQ(again.Execute("pm list packages -u").Stdout(), "package:com.example.one\n");
}

TEST_F(StateFileTest, MalformedFilesAreRefusedAndLeftAlone) {
  const char* cases[] = {
      "",
      "not json",
      "[]",
      "{\"packages\": 3}",
      "{\"packages\": [{\"name\": \"a\"}]}",
      "{\"packages\": [{\"name\": \"a\", \"system\": true, \"installed\": true, \"enabled\": "
      "\"maybe\"}]}",
      "{\"packages\": [], \"processes\": [{\"name\": \"x\"}]}",
      "{\"packages\": [], \"processes\": {}}",
  };
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    std::ofstream(path_, std::ios::trunc) << text;
    Television tv(DefaultTv(), 7, path_);
    std::string error;
    EXPECT_FALSE(tv.Open(&error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadFile(), text);
  }
}

TEST_F(StateFileTest, AFailedSaveCleansUpAfterItself) {
  // The target's place is taken by a directory, so the final rename fails
  // (permissions would not stop root).
  const std::string blocked = (dir_ / "tv.json").string();
  fs::create_directory(blocked);
  std::string error;
  EXPECT_FALSE(SaveState(DefaultTv(), blocked, &error));
  EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
  EXPECT_TRUE(fs::is_directory(blocked));
  EXPECT_EQ(DirEntries(), std::vector<std::string>{"tv.json"});  // no temporary file left

  // The simulator does not start on a state it cannot write.
  Television tv(DefaultTv(), 7, (dir_ / "missing-dir" / "tv.json").string());
  EXPECT_FALSE(tv.Open(&error));
}
