#include "platform/win32/win32_text.h"

#include <windows.h>

namespace morvel::win32 {

namespace {

std::wstring ToWide(UINT codePage, DWORD flags, std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, flags, text.data(), size, wide.data(), length);
    return wide;
}

}  // namespace

std::wstring Widen(std::string_view text) {
    return ToWide(CP_UTF8, MB_ERR_INVALID_CHARS, text);
}

std::string Narrow(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), size,
                                           nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return {};
    }
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), size, narrow.data(), length,
                        nullptr, nullptr);
    return narrow;
}

std::string Narrow(const wchar_t* text) {
    return text == nullptr ? std::string() : Narrow(std::wstring_view(text));
}

std::string AnsiToUtf8(std::string_view text) {
    return Narrow(ToWide(CP_ACP, 0, text));
}

}  // namespace morvel::win32
