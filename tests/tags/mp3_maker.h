#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tagtest {

using Bytes = std::vector<std::uint8_t>;

// `frames` MPEG-1 Layer III frames, 128 kbit/s, 44.1 kHz, stereo: silent side
// information followed by a byte pattern that differs from frame to frame, so
// a shifted or altered byte shows. 38.28 frames make a second.
Bytes MakeMpegFrames(int frames);

} // namespace tagtest
