// Text between the program and the system. Inside, the program keeps every path, caption
// and value in UTF-8 (as the Linux program does); the system is asked through its
// wide-character functions, so that a file name in any script can be opened, listed, shown
// and saved whatever the ANSI code page.
#pragma once

#include <string>
#include <string_view>

namespace morvel::win32 {

// The UTF-8 text as UTF-16; empty when it is not UTF-8.
std::wstring Widen(std::string_view text);

// The UTF-16 text as UTF-8. Empty when it is not well formed (a lone surrogate): a
// stand-in character would name another file.
std::string Narrow(std::wstring_view text);
std::string Narrow(const wchar_t* text);

// Text in the ANSI code page as UTF-8.
std::string AnsiToUtf8(std::string_view text);

}  // namespace morvel::win32
