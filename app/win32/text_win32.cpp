#include "app/win32/text_win32.h"

#include <windows.h>

namespace kpv {

std::wstring widenUtf8(const char* utf8) {
    if (utf8 == nullptr || *utf8 == '\0')
        return {};
    int needed = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (needed <= 1)
        return {};
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    if (MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), needed) != needed)
        return {};
    wide.resize(static_cast<std::size_t>(needed - 1));
    return wide;
}

SecureBuffer narrowToAnsi(const wchar_t* text, std::uint32_t maxBytes) {
    if (text == nullptr || maxBytes == 0 || maxBytes > 0x7FFFFFFF)
        return {};
    SecureBuffer out = SecureBuffer::zeros(maxBytes);
    char* bytes = reinterpret_cast<char*>(out.data());
    int room = static_cast<int>(maxBytes);
    int written = 0;
    if (GetACP() == CP_UTF8) {
        // A UTF-8 system code page takes neither flag, and can spell every valid character;
        // it only refuses lone surrogates.
        written = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, -1, bytes, room, nullptr,
                                      nullptr);
    } else {
        BOOL usedDefault = FALSE;
        written = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, bytes, room, nullptr,
                                      &usedDefault);
        if (usedDefault)
            written = 0;
    }
    if (written <= 0)
        return {};
    out.resize(static_cast<std::uint32_t>(written));
    return out;
}

std::string utf8Of(const wchar_t* text) {
    if (text == nullptr || *text == L'\0')
        return {};
    int needed = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 1)
        return {};
    std::string utf8(static_cast<std::size_t>(needed), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), needed, nullptr, nullptr) != needed)
        return {};
    utf8.resize(static_cast<std::size_t>(needed - 1));
    return utf8;
}

} // namespace kpv
