// One of the standard streams of a console program: Russian text reaches a
// console through WriteConsoleW (whatever its code page), and a redirected
// stream (a file, a pipe) as UTF-8.
#pragma once
#include <windows.h>

#include <string>

class CConsoleWriter {
public:
    // STD_OUTPUT_HANDLE or STD_ERROR_HANDLE.
    explicit CConsoleWriter(DWORD stream);
    CConsoleWriter(const CConsoleWriter&) = delete;
    CConsoleWriter& operator=(const CConsoleWriter&) = delete;

    // One line of UTF-8 text; the line end (CR LF) is added. False when the
    // stream refused it.
    bool WriteLine(const std::string& utf8);

private:
    HANDLE handle_;
    bool console_;
};
