// Commands about installed files: the exe's version resource and manifest, and shortcuts.
#include "core/unique_handle.h"
#include "gui-tests/auto/installer/commands_win32.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <string>
#include <utility>
#include <vector>

namespace kpv::installcheck {

namespace {

struct ModuleTraits {
    using Handle = HMODULE;
    static Handle empty() noexcept { return nullptr; }
    static bool isValid(Handle handle) noexcept { return handle != nullptr; }
    static bool close(Handle handle) noexcept { return FreeLibrary(handle) != 0; }
};
using UniqueModule = UniqueHandle<ModuleTraits>;

// One reference to a COM object, released once.
template <typename Interface>
class ComRef {
  public:
    ComRef() noexcept = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() {
        if (object_ != nullptr)
            object_->Release();
    }
    Interface* operator->() const noexcept { return object_; }
    void** out() noexcept { return reinterpret_cast<void**>(&object_); }

  private:
    Interface* object_ = nullptr;
};

// COM for this thread, for as long as the object lives.
class ComApartment {
  public:
    ComApartment() noexcept : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (ok_)
            CoUninitialize();
    }
    bool ok() const noexcept { return ok_; }

  private:
    bool ok_;
};

std::string quadText(DWORD high, DWORD low) {
    return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." +
           std::to_string(HIWORD(low)) + "." + std::to_string(LOWORD(low));
}

std::optional<std::wstring> fileOperand(Options& options, const char* command) {
    std::optional<std::wstring> path = firstWord(options);
    if (!path)
        printError(std::string(command) + " needs a file");
    return path;
}

} // namespace

// Prints the fixed version numbers and the strings of the first translation:
// "file-version 1.0.0.0", "product-version 1.0.0.0", "string ProductName Kopiavakt", ...
int commandVersion(Options& options) {
    std::optional<std::wstring> path = fileOperand(options, "version");
    if (!path)
        return EXIT_USAGE;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path->c_str(), &ignored);
    std::vector<unsigned char> block(size);
    if (size == 0 || !GetFileVersionInfoW(path->c_str(), 0, size, block.data())) {
        printError("no version resource");
        return EXIT_FAILED;
    }
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", &value, &length) ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        printError("no fixed version information");
        return EXIT_FAILED;
    }
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    printLine("file-version " + quadText(fixed->dwFileVersionMS, fixed->dwFileVersionLS));
    printLine("product-version " + quadText(fixed->dwProductVersionMS, fixed->dwProductVersionLS));
    printLine(std::string("file-type ") + (fixed->dwFileType == VFT_APP ? "app" : "other"));

    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) ||
        length < 4) {
        printError("no translation");
        return EXIT_FAILED;
    }
    const auto* translation = static_cast<const WORD*>(value);
    wchar_t language[16] = {};
    swprintf(language, 16, L"%04X%04X", translation[0], translation[1]);
    printLine("translation " + toUtf8(language));
    for (const wchar_t* name : {L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName",
                                L"OriginalFilename", L"ProductName", L"ProductVersion"}) {
        const std::wstring query = std::wstring(L"\\StringFileInfo\\") + language + L"\\" + name;
        if (VerQueryValueW(block.data(), query.c_str(), &value, &length) && length > 0)
            printLine("string " + toUtf8(name) + " " + toUtf8(static_cast<const wchar_t*>(value)));
    }
    return EXIT_OK;
}

// Prints the exe's application manifest (RT_MANIFEST 1) as stored.
int commandManifest(Options& options) {
    std::optional<std::wstring> path = fileOperand(options, "manifest");
    if (!path)
        return EXIT_USAGE;
    UniqueModule module(LoadLibraryExW(path->c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    HRSRC found =
        module ? FindResourceW(module.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)) : nullptr;
    HGLOBAL loaded = found != nullptr ? LoadResource(module.get(), found) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) {
        printError("no manifest resource 1");
        return EXIT_FAILED;
    }
    printLine(
        std::string_view(static_cast<const char*>(bytes), SizeofResource(module.get(), found)));
    return EXIT_OK;
}

// Prints what a shortcut (.lnk) points at: "target", "arguments", "workdir", "icon", "description".
int commandShortcut(Options& options) {
    std::optional<std::wstring> path = fileOperand(options, "shortcut");
    if (!path)
        return EXIT_USAGE;
    ComApartment apartment;
    ComRef<IShellLinkW> link;
    ComRef<IPersistFile> file;
    if (!apartment.ok() ||
        FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.out())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.out())) ||
        FAILED(file->Load(path->c_str(), STGM_READ))) {
        printError("cannot read the shortcut");
        return EXIT_FAILED;
    }
    wchar_t text[MAX_PATH] = {};
    int icon = 0;
    link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
    printLine("target " + toUtf8(text));
    text[0] = L'\0';
    link->GetArguments(text, MAX_PATH);
    printLine("arguments " + toUtf8(text));
    text[0] = L'\0';
    link->GetWorkingDirectory(text, MAX_PATH);
    printLine("workdir " + toUtf8(text));
    text[0] = L'\0';
    link->GetIconLocation(text, MAX_PATH, &icon);
    printLine("icon " + toUtf8(text) + "," + std::to_string(icon));
    text[0] = L'\0';
    link->GetDescription(text, MAX_PATH);
    printLine("description " + toUtf8(text));
    return EXIT_OK;
}

} // namespace kpv::installcheck
