#include "fuzz/fuzz_seeds.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

void WriteFuzzSeeds(const std::vector<std::vector<std::uint8_t>>& seeds) {
    const char* directory = std::getenv("CORVANE_FUZZ_SEEDS");
    if (directory == nullptr || *directory == '\0') {
        return;
    }
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        const std::string name = std::string(directory) + "/seed-" + std::to_string(i);
        std::ofstream out(name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(seeds[i].data()), std::streamsize(seeds[i].size()));
    }
}
