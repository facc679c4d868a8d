#pragma once

// The program without a window (--headless, --help); returns the exit code.
int RunHeadless(int argc, char** argv);
