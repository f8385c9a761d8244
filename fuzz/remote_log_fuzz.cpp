// Reads arbitrary bytes as a remote log file, both as loaded content and as a whole file with
// its envelope: no crash, and a key never longer than the bytes it came from.
#include "accounts/remote_log_file.h"
#include "fuzz/fuzz_folder.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enterFuzzFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kpv::RecordStream content(kpv::SecureBuffer::ofBytes(data, static_cast<std::uint32_t>(size)));
    kpv::RemoteLogAccount account;
    if (kpv::readRemoteLog(content, account) == kpv::RemoteLogResult::Ok &&
        account.keyMaterial.length() > size)
        __builtin_trap();

    std::FILE* file = std::fopen("input.rlf", "wb");
    if (file == nullptr)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    kpv::RemoteLogAccount fromFile;
    (void)kpv::loadRemoteLogFile(kpv::SecureBuffer::fromCString("input.rlf"), fromFile);
    if (fromFile.keyMaterial.length() > size)
        __builtin_trap();
    return 0;
}
