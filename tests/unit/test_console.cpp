// The console against the real interpreter, and against small stand-in
// interpreters (shell scripts) where a test must control how output arrives.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "console/shell_console.h"
#include "platform/text.h"

namespace fs = std::filesystem;
using namespace quenlo::console;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kInterpreter = std::string(QUENLO_BIN_DIR) + "/quenlo-cmd";

class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/quenlo-console-XXXXXX";
    dir_ = mkdtemp(tmpl);
    old_ = fs::current_path();
    fs::current_path(dir_);
  }
  void TearDown() override {
    console_.Close();
    SetWaiterFactory(nullptr);
    fs::current_path(old_);
    fs::remove_all(dir_);
  }
  // Starts the real interpreter and reads its banner.
  void StartReal() {
    console_.SetInterpreter(kInterpreter);
    ASSERT_EQ(console_.Start(), 0);
    std::string banner = console_.ReadUntilPrompt();
    ASSERT_FALSE(banner.empty());
    prompt_ = dir_.string() + ">";
    ASSERT_EQ(console_.Prompt(), prompt_);
  }
  // Writes an executable script into the test directory.
  std::string Script(const std::string& name, const std::string& body) {
    fs::path p = dir_ / name;
    std::ofstream(p) << "#!/bin/sh\n" << body;
    chmod(p.c_str(), 0755);
    return p.string();
  }

  fs::path dir_, old_;
  std::string prompt_;
  ShellConsole console_;
};

double SecondsSince(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

}  // namespace

TEST_F(ConsoleTest, ReplyHasOutputAndPromptWithoutEcho) {
  StartReal();
  EXPECT_EQ(console_.Exchange("echo hello"), "hello\r\n\r\n" + prompt_);
  EXPECT_EQ(console_.LastCommandLine(), "echo hello\r\n");
  // SendCommand followed by a read on the same thread pairs up the same way.
  ASSERT_EQ(console_.SendCommand("echo again"), 0);
  EXPECT_EQ(console_.ReadUntilPrompt(), "again\r\n\r\n" + prompt_);
  // A brief read keeps the echo.
  EXPECT_EQ(console_.Exchange("echo brief", ReadMode::Briefly),
            "echo brief\r\nbrief\r\n\r\n" + prompt_);
}

TEST_F(ConsoleTest, EveryOccurrenceOfTheCommandLineIsRemoved) {
  StartReal();
  std::ofstream(dir_ / "lines.txt") << "cat lines.txt\nmiddle\ncat lines.txt\n";
  EXPECT_EQ(console_.Exchange("cat lines.txt"), "middle\r\n\r\n" + prompt_);
}

TEST_F(ConsoleTest, PromptRecognisedWhenOutputArrivesInPieces) {
  // The stand-in writes the banner, the prompt and every reply in pieces,
  // with the '>' of the prompt arriving on its own.
  console_.SetInterpreter(Script("pieces.sh", R"(
printf 'Banner\r\n\r\n/x'; sleep 0.1; printf '>'
while IFS= read -r line; do
  printf '%s\n' "$line"
  printf 'part one '; sleep 0.1; printf 'part two\r\n'; sleep 0.1
  printf '\r\n/x'; sleep 0.1; printf '>'
done
)"));
  ASSERT_EQ(console_.Start(), 0);
  EXPECT_EQ(console_.ReadUntilPrompt(), "Banner\r\n\r\n/x>");
  EXPECT_EQ(console_.Prompt(), "/x>");
  EXPECT_EQ(console_.Exchange("anything"), "part one part two\r\n\r\n/x>");
}

TEST_F(ConsoleTest, ReadBrieflyGivesUpAfterOneSecond) {
  console_.SetInterpreter(Script("silent.sh", R"(
printf 'Banner\r\n\r\n/x>'
while IFS= read -r line; do sleep 30; done
)"));
  ASSERT_EQ(console_.Start(), 0);
  console_.ReadUntilPrompt();
  auto t0 = Clock::now();
  EXPECT_EQ(console_.Exchange("adb devices", ReadMode::Briefly), "");
  double waited = SecondsSince(t0);
  EXPECT_GT(waited, 1.0);
  EXPECT_LT(waited, 10.0);
}

TEST_F(ConsoleTest, LateOutputStaysWithItsOwnCommand) {
  StartReal();
  std::string brief = console_.Exchange("sleep 1.5; echo late", ReadMode::Briefly);
  EXPECT_EQ(brief.find("late\r\n"), std::string::npos) << brief;
  // The next command waits for the earlier prompt, then gets only its own reply.
  EXPECT_EQ(console_.Exchange("echo next"), "next\r\n\r\n" + prompt_);
}

TEST_F(ConsoleTest, WaitEndsWhenTheInterpreterDiesAndNextUseRestartsIt) {
  StartReal();
  // The command kills its own interpreter while the console waits for it.
  std::string reply = console_.Exchange("echo before; sleep 0.5; kill -9 $PPID; sleep 30");
  EXPECT_EQ(reply.rfind("before", 0), 0u) << reply;
  EXPECT_FALSE(console_.IsRunning());
  EXPECT_EQ(console_.Exchange("echo after"), "after\r\n\r\n" + prompt_);
  EXPECT_TRUE(console_.IsRunning());
}

TEST_F(ConsoleTest, CurrentPromptRestartsAndChangesDirectory) {
  StartReal();
  console_.Exchange("kill -9 $PPID");
  EXPECT_FALSE(console_.IsRunning());
  EXPECT_EQ(console_.CurrentPrompt("", false), prompt_);
  EXPECT_TRUE(console_.IsRunning());

  fs::create_directory(dir_ / "sub");
  std::string sub = (dir_ / "sub").string();
  EXPECT_EQ(console_.CurrentPrompt(sub, true), sub + ">");
  // Already current: the prompt stays and the cd command's reply comes back.
  EXPECT_EQ(console_.CurrentPrompt(sub, true), "cd /d " + sub + "\r\n\r\n" + sub + ">");
}

TEST_F(ConsoleTest, ChineseDirectoryRoundTrip) {
  StartReal();
  // "测试目录" in UTF-8 on disk; the console speaks GBK.
  const std::string utf8Name = "\xE6\xB5\x8B\xE8\xAF\x95\xE7\x9B\xAE\xE5\xBD\x95";
  fs::create_directory(dir_ / utf8Name);
  std::string gbkDir = quenlo::platform::Utf8ToGbk((dir_ / utf8Name).string());
  EXPECT_EQ(console_.CurrentPrompt(gbkDir, true), gbkDir + ">");
  EXPECT_EQ(console_.Exchange("echo 测试"), "测试\r\n\r\n" + gbkDir + ">");
}

TEST_F(ConsoleTest, ThreadsSendingAtOnceEachGetTheirOwnReplies) {
  StartReal();
  std::atomic<int> wrong{0};
  auto run = [&](const std::string& tag) {
    for (int i = 0; i < 40; ++i) {
      std::string word = tag + std::to_string(i);
      if (console_.Exchange("echo " + word) != word + "\r\n\r\n" + prompt_) ++wrong;
    }
  };
  std::thread a(run, "a"), b(run, "b"), c(run, "c");
  a.join();
  b.join();
  c.join();
  EXPECT_EQ(wrong.load(), 0);
}

namespace {

// Stands in for a window thread's waiter: the first time it waits, it runs
// another command, as a user pressing Enter during a wait would.
class ReenteringWaiter : public Waiter {
 public:
  ReenteringWaiter(ShellConsole& c, std::string& out, bool& once) : c_(c), out_(out), once_(once) {}
  void Wait(std::chrono::steady_clock::time_point deadline) override {
    if (!once_) {
      once_ = true;
      out_ = c_.Exchange("echo inner");
      return;
    }
    inner_->Wait(deadline);
  }
  void Wake() override { inner_->Wake(); }

 private:
  std::unique_ptr<Waiter> inner_ = MakeBlockingWaiter();
  ShellConsole& c_;
  std::string& out_;
  bool& once_;
};

}  // namespace

TEST_F(ConsoleTest, CommandAskedFromInsideAWaitTakesItsTurn) {
  StartReal();
  std::string inner;
  bool once = false;
  SetWaiterFactory([&] { return std::make_unique<ReenteringWaiter>(console_, inner, once); });
  std::string outer = console_.Exchange("sleep 0.3; echo outer");
  SetWaiterFactory(nullptr);
  EXPECT_TRUE(once);
  EXPECT_EQ(outer, "outer\r\n\r\n" + prompt_);
  EXPECT_EQ(inner, "inner\r\n\r\n" + prompt_);
}

TEST_F(ConsoleTest, CloseEndsAWaitOnAnotherThread) {
  StartReal();
  std::string reply = "unset";
  std::thread t([&] { reply = console_.Exchange("echo started; sleep 30"); });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  auto t0 = Clock::now();
  EXPECT_TRUE(console_.Close());
  t.join();
  EXPECT_LT(SecondsSince(t0), 5.0);
  EXPECT_FALSE(console_.IsRunning());
  // After closing, commands answer at once with nothing.
  EXPECT_EQ(console_.Exchange("echo x"), "");
}

TEST_F(ConsoleTest, MissingInterpreterAnswersWithOneClearLine) {
  console_.SetInterpreter((dir_ / "no-such-interpreter").string());
  EXPECT_NE(console_.Start(), 0);
  EXPECT_EQ(console_.ReadUntilPrompt().find("无法启动命令解释器"), 0u);
  EXPECT_FALSE(console_.IsRunning());
  std::string reply = console_.Exchange("adb devices", ReadMode::Briefly);
  EXPECT_EQ(reply.find("无法启动命令解释器"), 0u) << reply;
  EXPECT_NE(reply.find("找不到该程序"), std::string::npos) << reply;
  EXPECT_EQ(reply.find("\r\n"), std::string::npos);
}

TEST_F(ConsoleTest, BannerNeedNotBeReadBeforeTheFirstCommand) {
  StartReal();
  console_.Close();
  console_.SetInterpreter(kInterpreter);
  ASSERT_EQ(console_.Start(), 0);
  EXPECT_EQ(console_.Exchange("echo first"), "first\r\n\r\n" + prompt_);
  EXPECT_EQ(console_.Prompt(), prompt_);
}

TEST(PumpingWait, WaitsAtLeastTheTimeAsked) {
  auto t0 = Clock::now();
  EXPECT_TRUE(PumpingWait(100));
  EXPECT_GE(SecondsSince(t0), 0.1);
}

TEST_F(ConsoleTest, LineLostWithAnInterpreterThatEndedRunsInTheNextOne) {
  // The first interpreter ends as soon as a line arrives, before echoing it
  // (as one ended from outside just before the line was written). The line
  // then runs in a new interpreter, and only once.
  console_.SetInterpreter(Script("dies-once.sh", R"(
printf 'Banner\r\n\r\n/x>'
IFS= read -r line
if [ ! -e died ]; then : > died; exit 1; fi
printf '%s\n' "$line"
printf 'ran\r\n' >> runs.txt
printf 'ran\r\n\r\n/x>'
while IFS= read -r line; do printf '%s\n' "$line"; printf '\r\n/x>'; done
)"));
  ASSERT_EQ(console_.Start(), 0);
  console_.ReadUntilPrompt();
  EXPECT_EQ(console_.Exchange("anything"), "ran\r\n\r\n/x>");
  std::ifstream runs(dir_ / "runs.txt");
  std::string all((std::istreambuf_iterator<char>(runs)), std::istreambuf_iterator<char>());
  EXPECT_EQ(all, "ran\r\n");
}
