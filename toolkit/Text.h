// Text helpers shared by the whole program. Texts are 8-bit strings in the
// system's ANSI code page, as the A functions of Win32 take them.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

namespace tk {

// The one exception type of the program: its text is what the standard
// error box shows.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// printf-style formatting into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The system's text for an error code, without the trailing line end and
// full stop that FormatMessage leaves.
std::string SysErrorMessage(DWORD code);

// The text of the standard error box: a full stop is appended when the last
// character sorts after ".", so "(0)" stays as it is and "failed" ends in ".".
std::string WithFullStop(const std::string& text);

// ASCII upper case: only 'a' to 'z' change.
std::string AsciiUpper(std::string text);
std::wstring AsciiUpper(std::wstring text);

// ANSI code page text in its wide form, and back (characters the code page
// lacks become its stand-ins there). File names that the code page cannot
// write are held in wide form and reach the system through the W functions.
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);

}  // namespace tk
