#include <unistd.h>

#include "shell/interpreter.h"

int main() { return quenlo::shell::RunInterpreter(STDIN_FILENO, STDOUT_FILENO); }
