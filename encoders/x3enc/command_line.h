#pragma once

#include <string>
#include <vector>

// x3enc "source.wav" "dest.mp3" (-b BITS | -V QUALITY) [-v]
struct CommandLine {
    std::string source;
    std::string destination;
    unsigned long bitsPerSecond = 0;
    int vbrQuality = -1; // 0 to 9 with -V; -1 a constant bit rate
    bool verbose = false;
    bool help = false;
};

// Empty on success, else what is wrong with the arguments.
std::string ParseCommandLine(const std::vector<std::string>& arguments, CommandLine& line);

const char* UsageText();
