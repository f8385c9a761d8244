#include "core/data_file.h"

#include <cstdio>
#include <string>

namespace kpv {

bool loadDataFile(const char* name, RecordStream& stream) {
    std::FILE* file = std::fopen(name, "rb");
    return file != nullptr && stream.load(file);
}

bool saveDataFile(const char* name, RecordStream& stream) {
    std::FILE* file = std::fopen(name, "wb");
    return file != nullptr && stream.save(file);
}

bool saveDataFileDurably(const char* name, RecordStream& stream) {
    const std::string temporary = std::string(name) + ".tmp";
    if (!saveDataFile(temporary.c_str(), stream) || !commitReplacement(temporary.c_str(), name)) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace kpv
