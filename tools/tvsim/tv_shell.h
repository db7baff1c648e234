#pragma once
// The television's shell: runs a command line the way /system/bin/sh and the
// commands behind it (pm, am, cmd, ps, getprop, echo) answer on the TV, on a
// TvState. Lines may join commands with ";", "&&", "||" and pipe into grep
// or wc; words may be quoted; ">/dev/null", "2>/dev/null" and "2>&1" are
// understood.
#include <string>
#include <vector>

#include "tv_state.h"

namespace tvsim {

struct OutputPiece {
  int fd = 1;  // 1 standard output, 2 standard error
  std::string text;
};

struct ShellResult {
  std::vector<OutputPiece> pieces;  // in the order they were written
  int exitCode = 0;
  bool changed = false;  // the state changed

  std::string Stdout() const;
  std::string Stderr() const;
  // Both streams as one terminal shows them.
  std::string Merged() const;
};

class TvShell {
 public:
  // `android` is 6 or 7: 7 has the "cmd" tool, 6 does not.
  TvShell(TvState& state, int android);

  // Runs one command line. Every simple command that changed the state is
  // added to the state's list of changes.
  ShellResult Run(const std::string& line);

  // ps's header line and one row, as the TV's ps prints them.
  static std::string PsHeader();
  static std::string PsRow(const Process& p, bool withTimes);

 private:
  TvState& state_;
  int android_;
  int fakePid_ = 4100;  // the pid a pm command would have had
};

}  // namespace tvsim
