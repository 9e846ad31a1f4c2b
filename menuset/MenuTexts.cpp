#include "menuset/MenuTexts.h"

#include <stdio.h>
#include <string.h>

#include "app/CommonServices.h"
#include "app/TextSize.h"

namespace {

const int STRING_SIZE = 1024;  // the longest string-table text and what fills it

} // namespace

std::string StringText(UINT id)
{
    char text[STRING_SIZE] = {};
    LoadStringA(g_hInstance, id, text, sizeof text);
    return text;
}

std::string FormatText(UINT id, const char* a, const char* b, const char* c, const char* d, const char* e,
                       const char* f)
{
    char text[STRING_SIZE * 2] = {};
    snprintf(text, sizeof text, StringText(id).c_str(), a, b, c, d, e, f);
    return text;
}

std::string SystemErrorLine(DWORD code)
{
    char text[STRING_SIZE] = {};
    GetSystemErrorText(code, text, sizeof text);
    size_t length = strlen(text);
    while (length > 0 && strchr("\r\n. ", text[length - 1]))
        text[--length] = '\0';
    return text;
}

std::string SystemErrorWithCode(DWORD code) { return SystemErrorLine(code) + " (" + std::to_string(code) + ")"; }

std::wstring WideOfAnsi(const std::string& ansi)
{
    if (ansi.empty())
        return std::wstring();
    int chars = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(chars, L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], chars);
    return wide;
}

std::string Utf8OfWide(const std::wstring& wide)
{
    if (wide.empty())
        return std::string();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                    nullptr);
    std::string utf8(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0], bytes, nullptr, nullptr);
    return utf8;
}

std::string Utf8OfAnsi(const std::string& ansi) { return Utf8OfWide(WideOfAnsi(ansi)); }
