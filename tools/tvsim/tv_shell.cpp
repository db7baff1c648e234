#include "tv_shell.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <regex>

namespace tvsim {
namespace {

// ---- Parsing a command line ------------------------------------------------

struct Redirects {
  bool dropOut = false;   // >/dev/null (or any file)
  bool dropErr = false;   // 2>/dev/null
  bool errToOut = false;  // 2>&1
  bool outToErr = false;  // >&2
};

struct Simple {
  std::vector<std::string> words;
  Redirects redirects;
};

enum class Link { Always, And, Or };

struct Step {
  Link link = Link::Always;
  std::vector<Simple> pipeline;
};

class LineParser {
 public:
  explicit LineParser(const std::string& line) : s_(line) {}

  // False with `error` set on a syntax error.
  bool Parse(std::vector<Step>& steps, std::string& error) {
    Step step;
    Simple simple;
    std::string word;
    bool inWord = false;
    auto endWord = [&] {
      if (inWord) simple.words.push_back(word);
      word.clear();
      inWord = false;
    };
    auto endSimple = [&](const char* op) -> bool {
      endWord();
      if (simple.words.empty()) {
        error = std::string("syntax error: '") + op + "' unexpected";
        return false;
      }
      step.pipeline.push_back(std::move(simple));
      simple = Simple();
      return true;
    };
    while (pos_ < s_.size()) {
      const char c = s_[pos_];
      if (c == ' ' || c == '\t') {
        endWord();
        ++pos_;
      } else if (c == '\'') {
        const std::size_t close = s_.find('\'', pos_ + 1);
        if (close == std::string::npos) {
          error = "no closing quote";
          return false;
        }
        word.append(s_, pos_ + 1, close - pos_ - 1);
        inWord = true;
        pos_ = close + 1;
      } else if (c == '"') {
        ++pos_;
        bool closed = false;
        while (pos_ < s_.size()) {
          const char d = s_[pos_++];
          if (d == '"') {
            closed = true;
            break;
          }
          if (d == '\\' && pos_ < s_.size() &&
              std::string_view("\"\\$`").find(s_[pos_]) != std::string_view::npos)
            word.push_back(s_[pos_++]);
          else
            word.push_back(d);
        }
        if (!closed) {
          error = "no closing quote";
          return false;
        }
        inWord = true;
      } else if (c == '\\') {
        if (pos_ + 1 < s_.size()) word.push_back(s_[pos_ + 1]);
        inWord = true;
        pos_ += 2;
      } else if (c == ';' || c == '\n' || c == '\r' || (c == '&' && Peek(1) != '&')) {
        ++pos_;
        endWord();
        // A lone separator at the very end, or between empty commands of a
        // CRLF line end, is fine.
        if (simple.words.empty() && step.pipeline.empty()) {
          if (c == ';' || c == '&') {
            if (!steps.empty() || !AtEnd()) {
              error = std::string("syntax error: '") + c + "' unexpected";
              return false;
            }
          }
          continue;
        }
        if (!endSimple(c == '&' ? "&" : ";")) return false;
        steps.push_back(std::move(step));
        step = Step();
      } else if ((c == '&' && Peek(1) == '&') || (c == '|' && Peek(1) == '|')) {
        pos_ += 2;
        const char* op = c == '&' ? "&&" : "||";
        if (!endSimple(op)) return false;
        steps.push_back(std::move(step));
        step = Step();
        step.link = c == '&' ? Link::And : Link::Or;
        if (AtEnd()) {
          error = "syntax error: unexpected end of line";
          return false;
        }
      } else if (c == '|') {
        ++pos_;
        if (!endSimple("|")) return false;
        if (AtEnd()) {
          error = "syntax error: unexpected end of line";
          return false;
        }
      } else if (c == '>' || c == '<') {
        int fd = c == '>' ? 1 : 0;
        if (inWord && (word == "1" || word == "2") && pos_ > 0 && s_[pos_ - 1] == word[0]) {
          fd = word[0] - '0';
          word.clear();
          inWord = false;
        }
        endWord();
        ++pos_;
        if (c == '>' && Peek(0) == '>') ++pos_;
        if (c == '>' && Peek(0) == '&') {
          ++pos_;
          const char target = Peek(0);
          if (target == '1' || target == '2') {
            ++pos_;
            if (fd == 2 && target == '1') simple.redirects.errToOut = true;
            if (fd == 1 && target == '2') simple.redirects.outToErr = true;
            continue;
          }
        }
        while (Peek(0) == ' ' || Peek(0) == '\t') ++pos_;
        std::string target;
        while (pos_ < s_.size() &&
               std::string_view(" \t;&|<>\n").find(s_[pos_]) == std::string_view::npos)
          target.push_back(s_[pos_++]);
        if (target.empty()) {
          error = "syntax error: unexpected end of line";
          return false;
        }
        // The TV's files are not simulated: output sent to any file is
        // simply gone.
        if (fd == 1) simple.redirects.dropOut = true;
        if (fd == 2) simple.redirects.dropErr = true;
      } else {
        word.push_back(c);
        inWord = true;
        ++pos_;
      }
    }
    endWord();
    if (!simple.words.empty()) step.pipeline.push_back(std::move(simple));
    if (!step.pipeline.empty()) steps.push_back(std::move(step));
    return true;
  }

 private:
  char Peek(std::size_t ahead) const { return pos_ + ahead < s_.size() ? s_[pos_ + ahead] : '\0'; }
  bool AtEnd() const {
    for (std::size_t i = pos_; i < s_.size(); ++i)
      if (s_[i] != ' ' && s_[i] != '\t' && s_[i] != '\r' && s_[i] != '\n') return false;
    return true;
  }

  const std::string& s_;
  std::size_t pos_ = 0;
};

// ---- Running commands ------------------------------------------------------

struct Outcome {
  std::vector<OutputPiece> pieces;
  int exit = 0;
  bool changed = false;

  void Out(const std::string& text) { Write(1, text); }
  void Err(const std::string& text) { Write(2, text); }
  void Write(int fd, const std::string& text) {
    if (text.empty()) return;
    if (!pieces.empty() && pieces.back().fd == fd)
      pieces.back().text += text;
    else
      pieces.push_back({fd, text});
  }
};

std::string Join(const std::vector<std::string>& words, std::size_t from = 0) {
  std::string out;
  for (std::size_t i = from; i < words.size(); ++i) {
    if (i > from) out.push_back(' ');
    out += words[i];
  }
  return out;
}

bool IsNumber(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    lines.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  return lines;
}

constexpr char kPmUsage[] =
    "usage: pm list packages [-f] [-d] [-e] [-s] [-3] [-i] [-u] [--user USER_ID] [FILTER]\n"
    "       pm path [--user USER_ID] PACKAGE\n"
    "       pm install-existing [--user USER_ID] PACKAGE\n"
    "       pm uninstall [-k] [--user USER_ID] PACKAGE\n"
    "       pm clear [--user USER_ID] PACKAGE\n"
    "       pm enable [--user USER_ID] PACKAGE_OR_COMPONENT\n"
    "       pm disable [--user USER_ID] PACKAGE_OR_COMPONENT\n"
    "       pm disable-user [--user USER_ID] PACKAGE_OR_COMPONENT\n";

constexpr char kAmUsage[] =
    "usage: am [subcommand] [options]\n"
    "usage: am force-stop [--user <USER_ID> | all | current] <PACKAGE>\n"
    "       am kill [--user <USER_ID> | all | current] <PACKAGE>\n";

class Commands {
 public:
  Commands(TvState& state, int android, int& fakePid)
      : state_(state), android_(android), fakePid_(fakePid) {}

  // Runs one simple command with `input` on its standard input.
  Outcome Simple(const std::vector<std::string>& words, const std::string& input, bool piped) {
    Outcome r;
    std::string name = words[0];
    for (const char* dir : {"/system/bin/", "/system/xbin/"})
      if (name.rfind(dir, 0) == 0 && name.size() > std::string_view(dir).size())
        name = name.substr(std::string_view(dir).size());
    std::vector<std::string> args(words.begin() + 1, words.end());
    if (name == "echo")
      Echo(args, r);
    else if (name == "pm")
      Pm(args, r);
    else if (name == "cmd" && android_ >= 7)
      Cmd(args, r);
    else if (name == "am")
      Am(args, r);
    else if (name == "ps")
      Ps(args, r);
    else if (name == "getprop")
      Getprop(args, r);
    else if (name == "grep")
      Grep(args, input, piped, r);
    else if (name == "wc")
      Wc(args, input, r);
    else if (name == "true")
      r.exit = 0;
    else if (name == "false")
      r.exit = 1;
    else {
      r.Err("/system/bin/sh: " + words[0] + ": not found\n");
      r.exit = 127;
    }
    return r;
  }

 private:
  // ---- echo, getprop ----
  void Echo(const std::vector<std::string>& args, Outcome& r) {
    std::size_t from = 0;
    bool newline = true;
    if (!args.empty() && args[0] == "-n") {
      newline = false;
      from = 1;
    }
    r.Out(Join(args, from) + (newline ? "\n" : ""));
  }

  void Getprop(const std::vector<std::string>& args, Outcome& r) {
    const auto props = DeviceProperties(android_);
    if (args.empty()) {
      for (const auto& [k, v] : props) r.Out("[" + k + "]: [" + v + "]\n");
      return;
    }
    auto it = props.find(args[0]);
    if (it != props.end())
      r.Out(it->second + "\n");
    else
      r.Out((args.size() > 1 ? args[1] : std::string()) + "\n");
  }

  // ---- pm ----
  // Reads "--user N" at args[i]; false (with the error written) when N is
  // missing.
  bool UserOption(const std::vector<std::string>& args, std::size_t& i, int& user, Outcome& r) {
    if (i + 1 >= args.size()) {
      r.Err("Error: no USER_ID specified\n");
      r.exit = 1;
      return false;
    }
    const std::string& v = args[++i];
    user = v == "current" || v == "all" ? 0 : IsNumber(v) ? std::stoi(v) : -1;
    if (user < 0) {
      r.Err("Error: Invalid user: " + v + "\n");
      r.exit = 1;
      return false;
    }
    return true;
  }

  // The options and the one package name of pm's package commands. False when
  // the arguments are wrong (the error is written).
  struct PackageArgs {
    std::string package;
    int user = -1;  // -1: every user
    bool keepData = false;
  };
  bool ParsePackageArgs(const std::vector<std::string>& args, bool allowKeep, PackageArgs& out,
                        Outcome& r) {
    for (std::size_t i = 1; i < args.size(); ++i) {
      const std::string& a = args[i];
      if (a == "--user") {
        if (!UserOption(args, i, out.user, r)) return false;
      } else if (a == "-k" && allowKeep) {
        out.keepData = true;
      } else if (!a.empty() && a[0] == '-' && out.package.empty()) {
        r.Err("Error: Unknown option: " + a + "\n");
        r.exit = 1;
        return false;
      } else if (out.package.empty()) {
        out.package = a;
      }
    }
    if (out.package.empty()) {
      r.Err("Error: package name not specified\n");
      r.exit = 1;
      return false;
    }
    return true;
  }

  void Pm(const std::vector<std::string>& args, Outcome& r) {
    if (args.empty()) {
      r.Err(kPmUsage);
      r.exit = 1;
      return;
    }
    const std::string& sub = args[0];
    if (sub == "list")
      PmList(args, r);
    else if (sub == "path")
      PmPath(args, r);
    else if (sub == "uninstall")
      PmUninstall(args, r);
    else if (sub == "disable" || sub == "disable-user" || sub == "enable" || sub == "default-state")
      PmSetEnabled(args, r);
    else if (sub == "clear")
      PmClear(args, r);
    else if (sub == "install-existing")
      PmInstallExisting(args, r);
    else {
      r.Err(kPmUsage);
      r.Err("\nError: unknown command '" + sub + "'\n");
      r.exit = 1;
    }
  }

  void PmList(const std::vector<std::string>& args, Outcome& r) {
    if (args.size() < 2) {
      r.Err("Error: didn't specify type of data to list\n");
      r.exit = 1;
      return;
    }
    if (args[1] != "packages" && args[1] != "package") {
      r.Err("Error: unknown list type '" + args[1] + "'\n");
      r.exit = 1;
      return;
    }
    bool paths = false, disabled = false, enabled = false, system = false, third = false,
         installer = false, uninstalled = false, uids = false;
    std::string filter;
    for (std::size_t i = 2; i < args.size(); ++i) {
      const std::string& a = args[i];
      if (a == "--user") {
        int user = 0;
        if (!UserOption(args, i, user, r)) return;
      } else if (a.size() > 1 && a[0] == '-' && a[1] != '-') {
        for (std::size_t k = 1; k < a.size(); ++k) {
          switch (a[k]) {
            case 'f':
              paths = true;
              break;
            case 'd':
              disabled = true;
              break;
            case 'e':
              enabled = true;
              break;
            case 's':
              system = true;
              break;
            case '3':
              third = true;
              break;
            case 'i':
              installer = true;
              break;
            case 'u':
              uninstalled = true;
              break;
            case 'U':
              uids = true;
              break;
            case 'l':
              break;
            default:
              r.Err("Error: Unknown option: " + a + "\n");
              r.exit = 1;
              return;
          }
        }
      } else if (!a.empty() && a[0] == '-') {
        r.Err("Error: Unknown option: " + a + "\n");
        r.exit = 1;
        return;
      } else {
        filter = a;
      }
    }
    std::string out;
    for (const Package& p : state_.packages) {
      if (!p.installed && !uninstalled) continue;
      if (!filter.empty() && p.name.find(filter) == std::string::npos) continue;
      if ((disabled && p.IsEnabled()) || (enabled && !p.IsEnabled())) continue;
      if ((system && !p.system) || (third && p.system)) continue;
      out += "package:";
      if (paths) out += p.path + "=";
      out += p.name;
      if (installer)
        out += std::string("  installer=") + (p.system ? "null" : "com.xiaomi.mitv.appstore");
      if (uids) out += " uid:" + std::to_string(p.uid);
      out += "\n";
    }
    r.Out(out);
  }

  void PmPath(const std::vector<std::string>& args, Outcome& r) {
    PackageArgs pa;
    if (!ParsePackageArgs(args, false, pa, r)) return;
    const Package* p = state_.FindPackage(pa.package);
    if (!p || !p->installed) {
      r.exit = 1;
      return;
    }
    r.Out("package:" + p->path + "\n");
  }

  void PmUninstall(const std::vector<std::string>& args, Outcome& r) {
    PackageArgs pa;
    if (!ParsePackageArgs(args, true, pa, r)) return;
    Package* p = state_.FindPackage(pa.package);
    auto fail = [&](const std::string& why) {
      r.Out("Failure [" + why + "]\n");
      r.exit = 1;
    };
    if (!p) return fail("DELETE_FAILED_INTERNAL_ERROR");
    if (pa.user >= 0) {
      if (pa.user != 0 || !p->installed)
        return fail("not installed for " + std::to_string(pa.user));
    } else if (p->system) {
      // Removing a firmware app for every user is refused.
      return fail("DELETE_FAILED_INTERNAL_ERROR");
    }
    state_.StopPackage(p->name);
    if (p->system || pa.keepData) {
      // Firmware apps stay on the system partition, and an app whose data
      // is kept stays known: both only leave user 0.
      p->installed = false;
    } else {
      // The owner's app is gone with its last user.
      const std::string name = p->name;
      std::erase_if(state_.packages, [&](const Package& q) { return q.name == name; });
    }
    r.Out("Success\n");
    r.changed = true;
  }

  void PmSetEnabled(const std::vector<std::string>& args, Outcome& r) {
    const std::string& sub = args[0];
    PackageArgs pa;
    if (!ParsePackageArgs(args, false, pa, r)) return;
    Package* p = state_.FindPackage(pa.package);
    if (!p) {
      r.Err("Error: java.lang.IllegalArgumentException: Unknown package: " + pa.package + "\n");
      r.exit = 1;
      return;
    }
    EnabledState wanted = sub == "disable"        ? EnabledState::Disabled
                          : sub == "disable-user" ? EnabledState::DisabledUser
                                                  : EnabledState::Enabled;
    // The shell user may not put a firmware app into the plain disabled
    // state, nor bring one back from it: that takes the system's own uid.
    if (p->system && (wanted == EnabledState::Disabled || p->enabled == EnabledState::Disabled)) {
      r.Err(
          "Error: java.lang.SecurityException: Permission Denial: attempt to change component "
          "state from pid=" +
          std::to_string(NextPid()) + ", uid=2000, package uid=" + std::to_string(p->uid) + "\n");
      r.exit = 1;
      return;
    }
    const char* shown = sub == "default-state" ? "default" : EnabledStateName(wanted);
    if (p->enabled != wanted) {
      p->enabled = wanted;
      r.changed = true;
    }
    if (wanted != EnabledState::Enabled && state_.StopPackage(p->name) > 0) r.changed = true;
    r.Out("Package " + p->name + " new state: " + shown + "\n");
  }

  void PmClear(const std::vector<std::string>& args, Outcome& r) {
    PackageArgs pa;
    if (!ParsePackageArgs(args, false, pa, r)) return;
    Package* p = state_.FindPackage(pa.package);
    if (!p || !p->installed || (pa.user > 0)) {
      r.Err("Failed\n");
      r.exit = 1;
      return;
    }
    state_.StopPackage(p->name);
    r.Out("Success\n");
    r.changed = true;
  }

  void PmInstallExisting(const std::vector<std::string>& args, Outcome& r) {
    PackageArgs pa;
    if (!ParsePackageArgs(args, false, pa, r)) return;
    const int user = pa.user < 0 ? 0 : pa.user;
    Package* p = state_.FindPackage(pa.package);
    if (!p || user != 0) {
      r.Out("android.content.pm.PackageManager$NameNotFoundException: Package " + pa.package +
            " doesn't exist\n");
      r.exit = 1;
      return;
    }
    if (!p->installed) {
      p->installed = true;
      r.changed = true;
    }
    r.Out("Package " + p->name + " installed for user: " + std::to_string(user) + "\n");
  }

  // ---- cmd, am ----
  void Cmd(const std::vector<std::string>& args, Outcome& r) {
    if (args.empty()) {
      r.Err("cmd: No service specified; use -l to list all services\n");
      r.exit = 20;
      return;
    }
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "package") {
      Pm(rest, r);
    } else if (args[0] == "activity") {
      Am(rest, r);
    } else {
      r.Err("cmd: Can't find service: " + args[0] + "\n");
      r.exit = 20;
    }
  }

  void Am(const std::vector<std::string>& args, Outcome& r) {
    if (args.empty()) {
      r.Err(kAmUsage);
      r.exit = 1;
      return;
    }
    if (args[0] == "force-stop" || args[0] == "kill") {
      PackageArgs pa;
      if (!ParsePackageArgs(args, false, pa, r)) return;
      if (state_.StopPackage(pa.package) > 0) r.changed = true;
      return;
    }
    r.Err(kAmUsage);
    r.Err("Error: Unknown command: " + args[0] + "\n");
    r.exit = 1;
  }

  // ---- ps ----
  void Ps(const std::vector<std::string>& args, Outcome& r) {
    bool times = false;
    std::string nameFilter;
    int pidFilter = -1;
    for (const auto& a : args) {
      if (a == "-x")
        times = true;
      else if (!a.empty() && a[0] == '-')
        continue;  // -t -p -P -c --abi: not simulated
      else if (IsNumber(a))
        pidFilter = std::stoi(a);
      else
        nameFilter = a;
    }
    std::vector<const Process*> rows;
    for (const auto& p : state_.processes) rows.push_back(&p);
    std::stable_sort(rows.begin(), rows.end(), [](auto* a, auto* b) { return a->pid < b->pid; });
    std::string out = TvShell::PsHeader() + "\n";
    for (const Process* p : rows) {
      if (pidFilter >= 0 && p->pid != pidFilter) continue;
      if (!nameFilter.empty() && p->name.compare(0, nameFilter.size(), nameFilter) != 0) continue;
      out += TvShell::PsRow(*p, times) + "\n";
    }
    r.Out(out);
  }

  // ---- grep, wc (ends of pipes) ----
  void Grep(const std::vector<std::string>& args, const std::string& input, bool piped,
            Outcome& r) {
    bool invert = false, ignoreCase = false, count = false, fixed = false, extended = false;
    std::string pattern;
    bool havePattern = false;
    std::vector<std::string> files;
    for (const auto& a : args) {
      if (!havePattern && a.size() > 1 && a[0] == '-') {
        for (std::size_t k = 1; k < a.size(); ++k) {
          switch (a[k]) {
            case 'v':
              invert = true;
              break;
            case 'i':
              ignoreCase = true;
              break;
            case 'c':
              count = true;
              break;
            case 'F':
              fixed = true;
              break;
            case 'E':
              extended = true;
              break;
            default:
              break;
          }
        }
      } else if (!havePattern) {
        pattern = a;
        havePattern = true;
      } else {
        files.push_back(a);
      }
    }
    if (!havePattern) {
      r.Err("usage: grep [-civFE] PATTERN [FILE...]\n");
      r.exit = 2;
      return;
    }
    if (!files.empty() || !piped) {
      for (const auto& f : files) r.Err("grep: " + f + ": No such file or directory\n");
      r.exit = files.empty() ? 1 : 2;
      return;
    }
    std::regex re;
    if (!fixed) {
      try {
        auto flags = extended ? std::regex::extended : std::regex::basic;
        if (ignoreCase) flags |= std::regex::icase;
        re = std::regex(pattern, flags);
      } catch (const std::regex_error&) {
        r.Err("grep: bad regex '" + pattern + "'\n");
        r.exit = 2;
        return;
      }
    }
    auto lower = [](std::string s) {
      for (auto& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      return s;
    };
    int matches = 0;
    std::string out;
    for (const auto& line : SplitLines(input)) {
      bool hit = fixed ? (ignoreCase ? lower(line).find(lower(pattern)) : line.find(pattern)) !=
                             std::string::npos
                       : std::regex_search(line, re);
      if (hit == invert) continue;
      ++matches;
      if (!count) out += line + "\n";
    }
    if (count) out = std::to_string(matches) + "\n";
    r.Out(out);
    r.exit = matches > 0 ? 0 : 1;
  }

  void Wc(const std::vector<std::string>& args, const std::string& input, Outcome& r) {
    const long lines = std::count(input.begin(), input.end(), '\n');
    if (!args.empty() && args[0] == "-l") {
      r.Out(std::to_string(lines) + "\n");
      return;
    }
    long words = 0;
    bool inWord = false;
    for (char c : input) {
      const bool blank = c == ' ' || c == '\t' || c == '\n' || c == '\r';
      if (!blank && !inWord) ++words;
      inWord = !blank;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%7ld %7ld %7zu\n", lines, words, input.size());
    r.Out(buf);
  }

  int NextPid() {
    fakePid_ += 3 + fakePid_ % 7;
    if (fakePid_ > 32000) fakePid_ = 4100;
    return fakePid_;
  }

  TvState& state_;
  int android_;
  int& fakePid_;
};

std::string TrimEnd(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  return s;
}

}  // namespace

std::string ShellResult::Stdout() const {
  std::string out;
  for (const auto& p : pieces)
    if (p.fd == 1) out += p.text;
  return out;
}

std::string ShellResult::Stderr() const {
  std::string out;
  for (const auto& p : pieces)
    if (p.fd == 2) out += p.text;
  return out;
}

std::string ShellResult::Merged() const {
  std::string out;
  for (const auto& p : pieces) out += p.text;
  return out;
}

TvShell::TvShell(TvState& state, int android) : state_(state), android_(android) {}

std::string TvShell::PsHeader() {
  return "USER     PID   PPID  VSIZE  RSS     WCHAN    PC        NAME";
}

std::string TvShell::PsRow(const Process& p, bool withTimes) {
  char buf[512];
  std::snprintf(buf, sizeof buf, "%-9s %-5d %-5d %-6ld %-5ld %10.10s %s %s %s", p.user.c_str(),
                p.pid, p.ppid, p.vsize, p.rss, p.wchan.c_str(), p.pc.c_str(), p.state.c_str(),
                p.name.c_str());
  std::string row = buf;
  if (withTimes) {
    const bool kernel = p.vsize == 0;
    std::snprintf(buf, sizeof buf, " (u:%d, s:%d)", kernel ? 0 : (p.pid * 13) % 409,
                  kernel ? (p.pid * 3) % 37 : (p.pid * 7) % 251);
    row += buf;
  }
  return row;
}

ShellResult TvShell::Run(const std::string& line) {
  ShellResult result;
  std::vector<Step> steps;
  std::string error;
  if (!LineParser(line).Parse(steps, error)) {
    result.pieces.push_back({2, "/system/bin/sh: " + error + "\n"});
    result.exitCode = 1;
    return result;
  }
  Commands commands(state_, android_, fakePid_);
  int last = 0;
  for (const Step& step : steps) {
    if (step.link == Link::And && last != 0) continue;
    if (step.link == Link::Or && last == 0) continue;
    std::string input;
    for (std::size_t i = 0; i < step.pipeline.size(); ++i) {
      const Simple& simple = step.pipeline[i];
      const bool lastStage = i + 1 == step.pipeline.size();
      Outcome r = commands.Simple(simple.words, input, i > 0);
      input.clear();
      if (r.changed) {
        result.changed = true;
        state_.changes.push_back({Join(simple.words), TrimEnd([&] {
                                    std::string all;
                                    for (const auto& p : r.pieces) all += p.text;
                                    return all;
                                  }())});
      }
      for (auto& piece : r.pieces) {
        int fd = piece.fd;
        if (fd == 2 && simple.redirects.errToOut)
          fd = 1;
        else if (fd == 1 && simple.redirects.outToErr)
          fd = 2;
        if ((fd == 1 && simple.redirects.dropOut) || (fd == 2 && simple.redirects.dropErr))
          continue;
        if (fd == 1 && !lastStage) {
          input += piece.text;
          continue;
        }
        if (!result.pieces.empty() && result.pieces.back().fd == fd)
          result.pieces.back().text += piece.text;
        else
          result.pieces.push_back({fd, std::move(piece.text)});
      }
      last = r.exit;
    }
  }
  result.exitCode = last;
  return result;
}

}  // namespace tvsim
