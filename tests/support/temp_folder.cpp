#include "tests/support/temp_folder.h"

#include <fstream>
#include <iterator>
#include <random>

namespace kpv::test {

TempFolder::TempFolder() : previous_(std::filesystem::current_path()) {
    std::random_device random;
    for (;;) {
        path_ = std::filesystem::temp_directory_path() /
                ("kpv-test-" + std::to_string(random()) + std::to_string(random()));
        if (std::filesystem::create_directory(path_))
            break;
    }
    std::filesystem::current_path(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::uint8_t> readFileBytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFileBytes(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

bool fileExists(const std::string& name) {
    return std::filesystem::exists(name);
}

} // namespace kpv::test
