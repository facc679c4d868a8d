#pragma once

#include <cstdint>
#include <vector>

// Writes the starting inputs of a fuzz target into the directory named by
// CORVANE_FUZZ_SEEDS (if set), before libFuzzer reads its corpus from there.
void WriteFuzzSeeds(const std::vector<std::vector<std::uint8_t>>& seeds);
