// quenlo-cmd driven through pipes the way the console drives it: command
// lines in, echo + output + prompt out, all GBK with CRLF line ends.
//
// Narrow literals in this file are GBK bytes (the build's execution
// character set), so expected console text is written as plain literals.
// Names created on disk are converted to UTF-8 first, as the system wants.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/process.h"
#include "platform/text.h"

namespace {

using namespace std::chrono_literals;
using quenlo::platform::ChildProcess;
using quenlo::platform::CloseFd;
using quenlo::platform::GbkToUtf8;
using quenlo::platform::SpawnWithPipes;
using quenlo::platform::TerminateAndReap;
using quenlo::platform::WriteAll;
using Clock = std::chrono::steady_clock;

const std::string kInterpreter = std::string(QUENLO_BIN_DIR) + "/quenlo-cmd";

// The console's rule: the text after the last CRLF ends with '>'.
bool EndsWithPrompt(const std::string& text) {
  const auto pos = text.rfind("\r\n");
  return pos != std::string::npos && text.size() > pos + 2 && text.back() == '>';
}

std::string ReplaceAll(std::string text, std::string_view what, std::string_view with) {
  for (auto pos = text.find(what); pos != std::string::npos;
       pos = text.find(what, pos + with.size()))
    text.replace(pos, what.size(), with);
  return text;
}

// State letter of a process from /proc, or 0 when there is no such process.
char ProcessState(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  if (!std::getline(in, stat)) return 0;
  const auto paren = stat.rfind(')');
  return paren != std::string::npos && paren + 2 < stat.size() ? stat[paren + 2] : 0;
}

// Gone, or a zombie waiting for whoever adopted it.
bool WaitUntilEnded(int pid, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    const char state = ProcessState(pid);
    if (state == 0 || state == 'Z') return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
}

// Children of `pid` that ended but were never reaped.
int ZombieChildren(int pid) {
  int zombies = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream in(entry.path() / "stat");
    std::string stat;
    if (!std::getline(in, stat)) continue;
    const auto paren = stat.rfind(')');
    if (paren == std::string::npos) continue;
    char state = 0;
    int ppid = 0;
    if (std::sscanf(stat.c_str() + paren + 1, " %c %d", &state, &ppid) == 2 && ppid == pid &&
        state == 'Z')
      ++zombies;
  }
  return zombies;
}

int ReadPidFile(const std::filesystem::path& file, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (Clock::now() < deadline) {
    std::ifstream in(file);
    int pid = 0;
    if (in >> pid && pid > 0) return pid;
    std::this_thread::sleep_for(10ms);
  }
  return 0;
}

// Something to create in the test directory before a case runs: a directory,
// or, when `script` is set, an executable shell script. Both are written as
// they would be typed in the console (GBK) and stored in UTF-8.
struct Entry {
  std::string path;
  std::string script = {};
};

class InterpreterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/quenlo-interp-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
  }

  void TearDown() override {
    if (child_.pid > 0 && quenlo::platform::ProcessAlive(child_.pid)) {
      EXPECT_EQ(ZombieChildren(child_.pid), 0) << "the interpreter left a command unreaped";
      TerminateAndReap(child_.pid, 2000);
    }
    CloseFd(child_.inputFd);
    CloseFd(child_.outputFd);
    for (int pid : strays_) {
      const char state = pid > 0 ? ProcessState(pid) : 0;
      if (state != 0 && state != 'Z') kill(pid, SIGKILL);
    }
    std::filesystem::remove_all(dir_);
  }

  void Create(const Entry& entry) {
    const std::filesystem::path path = dir_ / GbkToUtf8(entry.path);
    if (entry.script.empty()) {
      std::filesystem::create_directories(path);
      return;
    }
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << "#!/bin/sh\n" << GbkToUtf8(entry.script) << "\n";
    chmod(path.c_str(), 0755);
  }

  // Starts the interpreter in the test directory; returns what it shows
  // before the first command.
  std::string Start() {
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    const int rc = SpawnWithPipes(kInterpreter, {}, child_);
    std::filesystem::current_path(previous);
    EXPECT_EQ(rc, 0) << kInterpreter;
    return ReadUntil(EndsWithPrompt);
  }

  // Sends one line, adding CRLF unless it already has a line end.
  void Send(std::string line) {
    if (line.empty() || line.back() != '\n') line += "\r\n";
    ASSERT_EQ(WriteAll(child_.inputFd, line.data(), line.size()), 0);
  }

  std::string Run(const std::string& line) {
    Send(line);
    return ReadUntil(EndsWithPrompt);
  }

  // Reads until `done` holds for everything read so far; fails the test when
  // the output ends or `limit` passes first.
  std::string ReadUntil(const std::function<bool(const std::string&)>& done,
                        std::chrono::milliseconds limit = 20s) {
    std::string text;
    const auto deadline = Clock::now() + limit;
    while (!done(text)) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left <= 0ms) {
        ADD_FAILURE() << "timed out; got \"" << Shorten(text) << "\"";
        break;
      }
      if (!ReadSome(text, static_cast<int>(left.count()))) {
        ADD_FAILURE() << "output ended; got \"" << Shorten(text) << "\"";
        break;
      }
    }
    return text;
  }

  std::string ReadToEnd(std::chrono::milliseconds limit = 20s) {
    std::string text;
    const auto deadline = Clock::now() + limit;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left <= 0ms) {
        ADD_FAILURE() << "output did not end; got \"" << Shorten(text) << "\"";
        break;
      }
      if (!ReadSome(text, static_cast<int>(left.count()))) break;
    }
    return text;
  }

  // Appends what arrives within `timeoutMs`; false at the end of the output.
  bool ReadSome(std::string& text, int timeoutMs) {
    pollfd p{child_.outputFd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return true;
    char buf[65536];
    const ssize_t n = read(child_.outputFd, buf, sizeof buf);
    if (n <= 0) return false;
    text.append(buf, static_cast<std::size_t>(n));
    return true;
  }

  static std::string Shorten(const std::string& text) {
    return text.size() <= 400 ? text : text.substr(0, 200) + " ... " + text.substr(text.size() - 200);
  }

  std::string T(std::string_view text) const { return ReplaceAll(std::string(text), "{T}", dir_.string()); }

  std::filesystem::path dir_;
  ChildProcess child_;
  std::vector<int> strays_;  // background processes commands left behind
};

// ---------------------------------------------------------------------------
// Command lines and the exact text that answers them. In `lines` and
// `expected`, {T} stands for the test directory (where the interpreter
// starts); `expected` is everything after the first prompt.

struct Case {
  const char* name;
  std::vector<Entry> setup;
  std::vector<std::string> lines;
  std::string expected;
};

const Case kCases[] = {
    // Output and how it is turned into console text.
    {"Echo", {}, {"echo hello"}, "echo hello\r\nhello\r\n\r\n{T}>"},
    {"NoOutput", {}, {"true"}, "true\r\n\r\n{T}>"},
    {"OutputWithoutLineEnd", {}, {"printf abc"}, "printf abc\r\nabc\r\n{T}>"},
    {"StdoutAndStderrMerged", {}, {"echo out; echo err 1>&2; echo out2"},
     "echo out; echo err 1>&2; echo out2\r\nout\r\nerr\r\nout2\r\n\r\n{T}>"},
    {"LfBecomesCrlf", {}, {"printf 'a\\nb\\n'"}, "printf 'a\\nb\\n'\r\na\r\nb\r\n\r\n{T}>"},
    {"CrlfStaysCrlf", {}, {"printf 'a\\r\\nb\\r\\n'"}, "printf 'a\\r\\nb\\r\\n'\r\na\r\nb\r\n\r\n{T}>"},
    {"CrRunBeforeLfBecomesOneCrlf", {}, {"printf 'a\\r\\r\\nb\\r\\r\\r\\n'"},
     "printf 'a\\r\\r\\nb\\r\\r\\r\\n'\r\na\r\nb\r\n\r\n{T}>"},
    {"LoneCrStays", {}, {"printf '1\\r2\\r\\rok\\n'"}, "printf '1\\r2\\r\\rok\\n'\r\n1\r2\r\rok\r\n\r\n{T}>"},
    {"CrAndLfInSeparateChunks", {}, {"printf 'a\\r'; sleep 0.3; printf '\\nb\\n'"},
     "printf 'a\\r'; sleep 0.3; printf '\\nb\\n'\r\na\r\nb\r\n\r\n{T}>"},
    {"ChineseOutputBecomesGbk", {}, {"echo 中文"}, "echo 中文\r\n中文\r\n\r\n{T}>"},
    {"CharacterSplitAcrossChunks", {}, {"printf '\\344\\270'; sleep 0.3; printf '\\255\\n'"},
     "printf '\\344\\270'; sleep 0.3; printf '\\255\\n'\r\n中\r\n\r\n{T}>"},
    {"BytesNotUtf8PassThrough", {}, {"printf 'a\\377b\\344c\\n'"},
     "printf 'a\\377b\\344c\\n'\r\na\xff" "b\xe4" "c\r\n\r\n{T}>"},
    {"IncompleteCharacterAtEndPassesThrough", {}, {"printf 'x\\344\\270'"},
     "printf 'x\\344\\270'\r\nx\xe4\xb8\r\n{T}>"},

    // Input lines.
    {"EmptyLine", {}, {""}, "\r\n{T}>"},
    {"BlankLine", {}, {"  \t "}, "\r\n{T}>"},
    {"LineEndedByLfOnly", {}, {"echo a\n"}, "echo a\r\na\r\n\r\n{T}>"},

    // Changing directory.
    {"CdSlashD", {{"sub"}}, {"cd /d sub"}, "cd /d sub\r\n\r\n{T}/sub>"},
    {"Cd", {{"sub"}}, {"cd sub"}, "cd sub\r\n\r\n{T}/sub>"},
    {"CdUpperCaseQuoted", {{"sub"}}, {"CD \"sub\""}, "CD \"sub\"\r\n\r\n{T}/sub>"},
    {"ChdirAbsoluteWithBlanks", {{"sub"}}, {"  chdir /D {T}/sub  "},
     "  chdir /D {T}/sub  \r\n\r\n{T}/sub>"},
    {"CdRelativeToCurrent", {{"sub/inner"}}, {"cd sub", "cd inner", "cd .."},
     "cd sub\r\n\r\n{T}/sub>cd inner\r\n\r\n{T}/sub/inner>cd ..\r\n\r\n{T}/sub>"},
    {"CdFailsAndStays", {{"sub"}}, {"cd sub", "cd missing"},
     "cd sub\r\n\r\n{T}/sub>cd missing\r\n系统找不到指定的路径。\r\n\r\n{T}/sub>"},
    {"CdToFileFails", {{"file", "true"}}, {"cd /d file"},
     "cd /d file\r\n系统找不到指定的路径。\r\n\r\n{T}>"},
    {"CdAlonePrintsDirectory", {}, {"cd"}, "cd\r\n{T}\r\n\r\n{T}>"},
    {"CommandsRunInCurrentDirectory", {{"sub"}}, {"cd sub", "pwd"},
     "cd sub\r\n\r\n{T}/sub>pwd\r\n{T}/sub\r\n\r\n{T}/sub>"},
    {"ChineseDirectory", {{"中文"}}, {"cd /d 中文", "pwd", "cd"},
     "cd /d 中文\r\n\r\n{T}/中文>pwd\r\n{T}/中文\r\n\r\n{T}/中文>cd\r\n{T}/中文\r\n\r\n{T}/中文>"},
    {"CommandNamedAsCdPrefixIsNotCd", {{"cdx", "echo ran cdx"}}, {"cdx"},
     "cdx\r\nran cdx\r\n\r\n{T}>"},

    // A program named by a bare word: current directory before PATH (where
    // a real adb may well be).
    {"ProgramInCurrentDirectoryFirst", {{"adb", "echo local adb \"$@\""}}, {"adb devices"},
     "adb devices\r\nlocal adb devices\r\n\r\n{T}>"},
    {"ProgramLookupFollowsCd", {{"sub/adb", "echo sub adb"}}, {"cd sub", "adb"},
     "cd sub\r\n\r\n{T}/sub>adb\r\nsub adb\r\n\r\n{T}/sub>"},
    {"ProgramInDirectoryWithColon", {{"a:b/adb", "echo colon adb \"$@\""}}, {"cd a:b", "adb x"},
     "cd a:b\r\n\r\n{T}/a:b>adb x\r\ncolon adb x\r\n\r\n{T}/a:b>"},
    {"ProgramInDirectoryWithPercent", {{"50%/adb", "echo percent adb"}}, {"cd 50%", "adb"},
     "cd 50%\r\n\r\n{T}/50%>adb\r\npercent adb\r\n\r\n{T}/50%>"},
    {"ProgramInChineseDirectory", {{"中文/adb", "echo 本地"}}, {"cd 中文", "adb"},
     "cd 中文\r\n\r\n{T}/中文>adb\r\n本地\r\n\r\n{T}/中文>"},
};

class InterpreterCase : public InterpreterTest, public ::testing::WithParamInterface<Case> {};

TEST_P(InterpreterCase, Answers) {
  const Case& c = GetParam();
  for (const auto& entry : c.setup) Create(entry);
  Start();
  std::string got;
  for (const auto& line : c.lines) got += Run(T(line));
  EXPECT_EQ(got, T(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Lines, InterpreterCase, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------

TEST_F(InterpreterTest, BannerLineEmptyLineThenPrompt) {
  const std::string text = Start();
  const auto firstEnd = text.find("\r\n");
  ASSERT_NE(firstEnd, std::string::npos);
  EXPECT_TRUE(text.starts_with("Quenlo ")) << text;
  EXPECT_EQ(text.substr(firstEnd), T("\r\n\r\n{T}>"));
}

TEST_F(InterpreterTest, LongOutputArrivesCompletely) {
  Start();
  std::string expected = "seq 1 200000\r\n";
  for (int i = 1; i <= 200000; ++i) expected += std::to_string(i) + "\r\n";
  expected += T("\r\n{T}>");
  const std::string got = Run("seq 1 200000");
  EXPECT_EQ(got.size(), expected.size());
  const auto diff = std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
  EXPECT_TRUE(got == expected) << "first difference at byte " << (diff.first - got.begin());
}

TEST_F(InterpreterTest, OutputArrivesWhileCommandRuns) {
  Start();
  const auto started = Clock::now();
  Send("echo first; sleep 3; echo second");
  ReadUntil([](const std::string& t) { return t.find("first\r\n") != std::string::npos; }, 2s);
  EXPECT_LT(Clock::now() - started, 2s);
  EXPECT_EQ(ReadUntil(EndsWithPrompt), T("second\r\n\r\n{T}>"));
}

// Something the command started in the background keeps the output pipe
// open; the prompt must come anyway, soon after the command itself ended.
struct BackgroundCase {
  const char* name;
  const char* job;
  bool silent;                     // the job writes nothing
  std::chrono::milliseconds limit;
};

class InterpreterBackgroundJob : public InterpreterTest,
                      public ::testing::WithParamInterface<BackgroundCase> {};

TEST_P(InterpreterBackgroundJob, DoesNotHoldPromptBack) {
  const BackgroundCase& c = GetParam();
  Start();
  const std::string line = std::string(c.job) + " & echo $! > bg.pid";
  const auto started = Clock::now();
  const std::string got = Run(line);
  const auto took = Clock::now() - started;
  strays_.push_back(ReadPidFile(dir_ / "bg.pid", 2s));
  EXPECT_LT(took, c.limit);
  if (c.silent) {
    EXPECT_EQ(got, T(line + "\r\n\r\n{T}>"));
  } else {
    EXPECT_TRUE(got.starts_with(line + "\r\n")) << got;
    EXPECT_TRUE(got.ends_with(T("\r\n{T}>"))) << got;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, InterpreterBackgroundJob,
    ::testing::Values(BackgroundCase{"Silent", "sleep 5", true, 1500ms},
                      BackgroundCase{"SilentSubshell", "(sleep 5)", true, 1500ms},
                      BackgroundCase{"KeepsWriting", "(while :; do echo tick; sleep 0.05; done)",
                                     false, 4s}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InterpreterTest, EndOfInputRunsLastLineAndExitsZero) {
  Start();
  const std::string input = "echo one\r\necho last";
  ASSERT_EQ(WriteAll(child_.inputFd, input.data(), input.size()), 0);
  CloseFd(child_.inputFd);
  EXPECT_EQ(ReadToEnd(), T("echo one\r\none\r\n\r\n{T}>echo last\r\nlast\r\n\r\n{T}>"));
  int status = 0;
  ASSERT_EQ(waitpid(child_.pid, &status, 0), child_.pid);
  child_.pid = -1;
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(InterpreterTest, GoneConsoleEndsInterpreter) {
  Start();
  CloseFd(child_.outputFd);
  Send("echo nobody reads this");
  EXPECT_TRUE(WaitUntilEnded(child_.pid, 3s));
}

// A stop signal ends the running command, everything it started included,
// and then the interpreter.
class InterpreterStopSignal : public InterpreterTest, public ::testing::WithParamInterface<int> {};

TEST_P(InterpreterStopSignal, EndsCommandAndInterpreter) {
  Start();
  Send("echo $$ > sh.pid; sleep 30 & echo $! > bg.pid; sleep 30");
  const int shell = ReadPidFile(dir_ / "sh.pid", 5s);
  const int job = ReadPidFile(dir_ / "bg.pid", 5s);
  ASSERT_GT(shell, 0);
  ASSERT_GT(job, 0);

  ASSERT_EQ(kill(child_.pid, GetParam()), 0);
  int status = 0;
  pid_t reaped = 0;
  for (const auto deadline = Clock::now() + 3s; reaped == 0 && Clock::now() < deadline;) {
    reaped = waitpid(child_.pid, &status, WNOHANG);
    if (reaped == 0) std::this_thread::sleep_for(10ms);
  }
  ASSERT_EQ(reaped, child_.pid) << "interpreter still running";
  child_.pid = -1;
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == GetParam()) << status;
  EXPECT_TRUE(WaitUntilEnded(shell, 3s));
  EXPECT_TRUE(WaitUntilEnded(job, 3s));
}

// The console stopped reading while a command floods it: the interpreter is
// stuck waiting for room to write and must still obey a stop request.
TEST_F(InterpreterTest, StopSignalWhileConsoleNotReading) {
  Start();
  Send("echo $$ > flood.pid; exec yes");
  const int flood = ReadPidFile(dir_ / "flood.pid", 5s);
  ASSERT_GT(flood, 0);
  std::this_thread::sleep_for(300ms);  // the output pipe fills up

  ASSERT_EQ(kill(child_.pid, SIGTERM), 0);
  EXPECT_TRUE(WaitUntilEnded(child_.pid, 3s)) << "interpreter still running";
  EXPECT_TRUE(WaitUntilEnded(flood, 3s));
}

INSTANTIATE_TEST_SUITE_P(Signals, InterpreterStopSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto& info) { return std::string(strsignal(info.param)); });

}  // namespace
