#include "check/CConsoleWriter.h"

CConsoleWriter::CConsoleWriter(DWORD stream) : handle_(GetStdHandle(stream)), console_(false)
{
    DWORD mode = 0;
    console_ = handle_ != INVALID_HANDLE_VALUE && handle_ && GetConsoleMode(handle_, &mode);
}

bool CConsoleWriter::WriteLine(const std::string& utf8)
{
    if (handle_ == INVALID_HANDLE_VALUE || !handle_)
        return false;
    std::string bytes = utf8 + "\r\n";
    if (!console_) {
        DWORD written = 0;
        return WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    }
    int chars = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(chars, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &wide[0], chars);
    DWORD written = 0;
    return WriteConsoleW(handle_, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) != FALSE;
}
