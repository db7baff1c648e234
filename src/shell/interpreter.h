#pragma once
// quenlo-cmd: the command interpreter the console keeps running. It reads
// command lines (GBK) from its input and answers the way the Windows command
// interpreter does when driven through pipes: echo of the line, the
// command's output, an empty line and the prompt "<current directory>>".
#include <string>
#include <string_view>

namespace quenlo::shell {

// When `line` is a change-directory command ("cd", "chdir", any case,
// optionally with "/d"), returns true and sets `dir` to its argument with
// surrounding blanks and one pair of double quotes removed; `dir` is empty
// for a bare "cd". Returns false for every other line.
bool ParseChangeDir(std::string_view line, std::string& dir);

// Serves command lines from `inFd`, writing everything to `outFd`, until
// the end of the input. Returns the exit code. Ends the process itself when
// asked to stop by a signal or when `outFd` can no longer be written.
int RunInterpreter(int inFd, int outFd);

}  // namespace quenlo::shell
