#pragma once
// Fuzz targets that write files work in a fresh folder of their own.
#include <filesystem>
#include <string>
#include <unistd.h>

inline void enterFuzzFolder() {
    const auto folder =
        std::filesystem::temp_directory_path() / ("kpv-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
}
