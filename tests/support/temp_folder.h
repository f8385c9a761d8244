#pragma once
// A fresh empty folder made the current directory for one test, as the working folder is for
// the client; the previous directory and the folder's removal come back at the end.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kpv::test {

class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

std::vector<std::uint8_t> readFileBytes(const std::string& name);
void writeFileBytes(const std::string& name, const std::vector<std::uint8_t>& bytes);
bool fileExists(const std::string& name);

} // namespace kpv::test
