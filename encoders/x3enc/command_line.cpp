#include "encoders/x3enc/command_line.h"

#include <cstdlib>

namespace {

constexpr unsigned long MIN_BITS = 8000;
constexpr unsigned long MAX_BITS = 320000;

bool ParseBits(const std::string& text, unsigned long& bits) {
    if (text.empty() || text.size() > 7 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    bits = std::strtoul(text.c_str(), nullptr, 10);
    return bits >= MIN_BITS && bits <= MAX_BITS;
}

} // namespace

std::string ParseCommandLine(const std::vector<std::string>& arguments, CommandLine& line) {
    line = CommandLine{};
    std::vector<std::string> paths;
    bool haveBits = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "-b") {
            if (i + 1 == arguments.size() || !ParseBits(arguments[i + 1], line.bitsPerSecond)) {
                return "-b needs a bit rate in bits per second, 8000 to 320000";
            }
            haveBits = true;
            ++i;
        } else if (argument == "-V") {
            const std::string value = i + 1 < arguments.size() ? arguments[i + 1] : std::string();
            if (value.size() != 1 || value[0] < '0' || value[0] > '9') {
                return "-V needs a VBR quality from 0 (best) to 9";
            }
            line.vbrQuality = value[0] - '0';
            ++i;
        } else if (argument == "-v") {
            line.verbose = true;
        } else if (argument == "-h" || argument == "--help") {
            line.help = true;
        } else if (argument.size() > 1 && argument[0] == '-') {
            return "unknown option " + argument;
        } else {
            paths.push_back(argument);
        }
    }
    if (line.help) {
        return {};
    }
    if (paths.size() != 2) {
        return "give exactly one source and one destination file";
    }
    if (haveBits == (line.vbrQuality >= 0)) {
        return "give either the bit rate (-b) or the VBR quality (-V)";
    }
    line.source = paths[0];
    line.destination = paths[1];
    return {};
}

const char* UsageText() {
    return "usage: x3enc SOURCE.wav DEST.mp3 (-b BITS | -V QUALITY) [-v]\n"
           "  Encodes a PCM WAV or RF64 file (1 to 16 channels, 8 to 32-bit integer or\n"
           "  32/64-bit float samples, 1 to 768 kHz) to a constant bit rate MP3 file.\n"
           "  BITS is the bit rate in bits per second, e.g. 128000; -V 0 (best) to 9\n"
           "  makes a variable bit rate file instead. Why a file could\n"
           "  not be encoded is written on standard error, one line.\n"
           "  -v  also report the source's format and the result\n"
           "  Exit status: 0 done, 1 failed, 2 bad arguments, 128+N ended by signal N.\n";
}
