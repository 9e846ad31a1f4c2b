// Texts of the menu set: string-table texts, the system's error text on one
// line, and the conversions from the program's ANSI code page to what consoles,
// scripts and browsers read.
#pragma once
#include <windows.h>

#include <string>

std::string StringText(UINT id);
// A string-table text with its %s filled in by the arguments in order.
std::string FormatText(UINT id, const char* a, const char* b = "", const char* c = "", const char* d = "",
                       const char* e = "", const char* f = "");
// The system's text of an error code on one line, without its full stop.
std::string SystemErrorLine(DWORD code);
// The same with the code after it: "Отказано в доступе (5)".
std::string SystemErrorWithCode(DWORD code);

std::wstring WideOfAnsi(const std::string& ansi);
std::string Utf8OfWide(const std::wstring& wide);
std::string Utf8OfAnsi(const std::string& ansi);
