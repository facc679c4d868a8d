#pragma once

// Answers the command line that needs no window: a wrong one (usage on
// standard error, EXIT_BAD_COMMAND_LINE), --help, --version and --headless.
// Returns the exit code, or -1 when the window is to open.
int RunWithoutWindow(int argc, char** argv);
