// Text between the program and the system's wide-character calls. The rest of the program
// keeps its paths and captions in the ANSI code page; the shell's pickers, its known folders
// and Media Foundation speak UTF-16.
#pragma once

#include <string>

namespace morvel::win32 {

// The ANSI text as UTF-16; empty when it cannot be converted.
std::wstring Widen(const std::string& text);

// The UTF-16 text in the ANSI code page. Empty when a character has no place in it: such a
// path could not be opened by the rest of the program, and a best-fit stand-in would name
// another file.
std::string Narrow(const wchar_t* text);

}  // namespace morvel::win32
