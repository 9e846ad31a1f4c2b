#include "config/IvrFile.h"

#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>

#include "app/CommonServices.h"
#include "app/ScopedWin.h"

namespace {

// Report contexts, in Windows-1251 (the sources are UTF-8).
// "Ошибка открытия файла конфигурации IVR"
const char kOpenError[] =
    "\xCE\xF8\xE8\xE1\xEA\xE0 \xEE\xF2\xEA\xF0\xFB\xF2\xE8\xFF \xF4\xE0\xE9\xEB\xE0 "
    "\xEA\xEE\xED\xF4\xE8\xE3\xF3\xF0\xE0\xF6\xE8\xE8 IVR";
// "Ошибка при создании конфигурационного файла"
const char kCreateError[] =
    "\xCE\xF8\xE8\xE1\xEA\xE0 \xEF\xF0\xE8 \xF1\xEE\xE7\xE4\xE0\xED\xE8\xE8 "
    "\xEA\xEE\xED\xF4\xE8\xE3\xF3\xF0\xE0\xF6\xE8\xEE\xED\xED\xEE\xE3\xEE \xF4\xE0\xE9\xEB\xE0";
// "Ошибка при перезаписи конфигурационного файла"
const char kReplaceError[] =
    "\xCE\xF8\xE8\xE1\xEA\xE0 \xEF\xF0\xE8 \xEF\xE5\xF0\xE5\xE7\xE0\xEF\xE8\xF1\xE8 "
    "\xEA\xEE\xED\xF4\xE8\xE3\xF3\xF0\xE0\xF6\xE8\xEE\xED\xED\xEE\xE3\xEE \xF4\xE0\xE9\xEB\xE0";

const int kLineChars = 254;     // one read: at most this many characters, line end included
const int kWaitChars = 3;       // the wait time is read from the first three characters
const int kKeywordColumn = 5;   // also where the greeting begins on line 1
const int kParamColumn = 21;
const int kFieldChars = 16;     // keyword and parameter fields are read this wide
const int kPieceSize = 1024;    // one formatted header or slot line

const char kMenu[] = "menu";
const char kDial[] = "dial";
const char kDisconnect[] = "disconnect";

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};
using ScopedFile = std::unique_ptr<FILE, FileCloser>;

// Reads one line into a zeroed buffer of CONFIG_TEXT_SIZE bytes: at most 254
// characters up to and including the line end; the rest of a longer line comes
// with the next read. CR LF arrives as LF alone, so a file with LF line ends
// reads exactly like one with CR LF, even where a line meets the limit. False
// at the end of the file.
bool ReadLine(FILE* file, char* line)
{
    memset(line, 0, CONFIG_TEXT_SIZE);
    int length = 0;
    while (length < kLineChars) {
        int c = getc(file);
        if (c == EOF)
            break;
        if (c == '\r') {
            int next = getc(file);
            if (next == '\n')
                c = '\n';
            else if (next != EOF)
                ungetc(next, file);
        }
        line[length++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    return length > 0;
}

// Copies the blank-stripped text of columns [column, column + width) of a line
// into out; a line that ends earlier, or blanks alone, give an empty field.
void ReadField(const char* line, int column, int width, char* out)
{
    memset(out, 0, CONFIG_TEXT_SIZE);
    size_t length = strlen(line);
    if (length <= static_cast<size_t>(column))
        return;
    char field[CONFIG_TEXT_SIZE] = {};
    memcpy(field, line + column, length - column < static_cast<size_t>(width) ? length - column : width);
    StripBlanks(field, out);
}

void ReadHeader(const char* line, VoiceMenuConfig* config)
{
    char wait[kWaitChars + 1] = {};
    memcpy(wait, line, kWaitChars);
    config->waitSeconds = atoi(wait);
    if (strlen(line) > static_cast<size_t>(kKeywordColumn))
        StripBlanks(line + kKeywordColumn, config->greeting);
}

// One key line; false when it does not belong in the file.
bool ReadSlotLine(const char* line, VoiceMenuConfig* config)
{
    int index = SlotOfKey(line[0]);
    if (index < 0)
        return false;
    CommandSlot& slot = config->slots[index];

    char keyword[CONFIG_TEXT_SIZE];
    ReadField(line, kKeywordColumn, kFieldChars, keyword);
    if (strcmp(keyword, kMenu) == 0)
        slot.action = ACTION_MENU;
    else if (strcmp(keyword, kDial) == 0)
        slot.action = ACTION_DIAL;
    else if (strstr(keyword, kDisconnect))
        slot.action = ACTION_DISCONNECT;
    // An unknown keyword leaves what an earlier line for the key set.
    if (slot.action == ACTION_NONE)
        return false;

    ReadField(line, kParamColumn, kFieldChars, slot.paramText[slot.action]);
    return true;
}

// GetLastError of a failed call, or fallback when the call left no code, so
// that the report is never silently dropped.
DWORD LastErrorOr(DWORD fallback)
{
    DWORD code = GetLastError();
    return code ? code : fallback;
}

// Sends a formatted piece to the debug channel and writes it with CR LF line
// ends. Answers 0 or the error code.
DWORD WritePiece(HANDLE file, const char* text)
{
    OutputDebugStringA(text);
    char bytes[kPieceSize * 2];
    DWORD size = 0;
    for (const char* p = text; *p; ++p) {
        if (*p == '\n')
            bytes[size++] = '\r';
        bytes[size++] = *p;
    }
    DWORD written = 0;
    SetLastError(0);
    if (!WriteFile(file, bytes, size, &written, nullptr))
        return LastErrorOr(ERROR_WRITE_FAULT);
    return written == size ? 0 : ERROR_DISK_FULL;
}

DWORD WriteContent(HANDLE file, const VoiceMenuConfig* config)
{
    char piece[kPieceSize];
    char name[CONFIG_TEXT_SIZE];
    char ext[CONFIG_TEXT_SIZE];
    GetNamePart(config->greeting, name, sizeof name);
    GetExtPart(config->greeting, ext, sizeof ext);
    if (name[0])
        snprintf(piece, sizeof piece, "%02d   %s.%s\n\n", config->waitSeconds, name, ext);
    else
        snprintf(piece, sizeof piece, "%02d           \n\n", config->waitSeconds);
    if (DWORD code = WritePiece(file, piece))
        return code;

    // Slot 14 ("t") is kept in the record but never written.
    for (int i = 0; i < CONFIG_SHOWN_SLOTS; ++i) {
        const CommandSlot& slot = config->slots[i];
        const char key[2] = {SlotKey(i), '\0'};
        switch (slot.action) {
        case ACTION_MENU:
            snprintf(piece, sizeof piece, "%s    menu            %.255s\n", key, slot.paramText[ACTION_MENU]);
            break;
        case ACTION_DIAL:
            snprintf(piece, sizeof piece, "%s    dial            %.255s\n", key, slot.paramText[ACTION_DIAL]);
            break;
        case ACTION_DISCONNECT:
            snprintf(piece, sizeof piece, "%s    disconnect\n", key);
            break;
        default:
            continue;
        }
        if (DWORD code = WritePiece(file, piece))
            return code;
    }
    return 0;
}

// A read-only file or a folder at the target's name is refused before anything
// is written: the rename would replace a read-only file under Wine and for an
// administrator.
bool CanReplaceTarget(const char* fileName)
{
    DWORD attributes = GetFileAttributesA(fileName);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
        ReportSystemError(ERROR_ACCESS_DENIED, TRUE, kReplaceError);
        return false;
    }
    return true;
}

// Writes the temporary completely, then renames it over the target in one
// step; the target is untouched unless everything before succeeded.
bool SaveThroughTemp(const char* fileName, const char* tempName, const VoiceMenuConfig* config)
{
    DWORD code = 0;
    ScopedHandle file(CreateFileA(tempName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        code = LastErrorOr(ERROR_OPEN_FAILED);
    } else {
        code = WriteContent(file.Get(), config);
        if (!code) {
            SetLastError(0);
            if (!FlushFileBuffers(file.Get()))
                code = LastErrorOr(ERROR_WRITE_FAULT);
        }
        SetLastError(0);
        if (!file.Close() && !code)
            code = LastErrorOr(ERROR_WRITE_FAULT);
    }
    if (code) {
        DeleteFileA(tempName);
        ReportSystemError(code, TRUE, kCreateError);
        return false;
    }

    SetLastError(0);
    if (!MoveFileExA(tempName, fileName, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        code = LastErrorOr(ERROR_ACCESS_DENIED);
        DeleteFileA(tempName);
        ReportSystemError(code, TRUE, kReplaceError);
        return false;
    }
    return true;
}

} // namespace

bool ReadIvrFile(const char* fileName, VoiceMenuConfig* config)
{
    memset(config, 0, sizeof *config);
    if (!fileName) {
        ReportSystemError(ERROR_INVALID_NAME, TRUE, kOpenError);
        return false;
    }

    SetLastError(0);
    _doserrno = 0;
    ScopedFile file(fopen(fileName, "rb"));
    if (!file) {
        DWORD code = GetLastError();
        if (!code)
            code = _doserrno ? static_cast<DWORD>(_doserrno) : ERROR_OPEN_FAILED;
        ReportSystemError(code, TRUE, kOpenError);
        return false;
    }

    char line[CONFIG_TEXT_SIZE];
    if (ReadLine(file.get(), line)) {
        ReadHeader(line, config);
        ReadLine(file.get(), line);  // line 2 is ignored
        while (ReadLine(file.get(), line)) {
            if (line[0] == '\0')
                continue;
            if (!ReadSlotLine(line, config))
                return false;
        }
    }
    // A failing disk is not the end of the file.
    return !ferror(file.get());
}

bool WriteIvrFile(const char* fileName, const VoiceMenuConfig* config)
{
    if (!fileName || !*fileName) {
        ReportSystemError(ERROR_INVALID_NAME, TRUE, kCreateError);
        return false;
    }
    if (strlen(fileName) >= MAX_PATH) {
        ReportSystemError(ERROR_FILENAME_EXCED_RANGE, TRUE, kCreateError);
        return false;
    }
    if (!CanReplaceTarget(fileName))
        return false;

    // The temporary goes into the target's folder, so that the final rename
    // stays on one volume and replaces the target in one step.
    char folder[MAX_PATH] = {};
    lstrcpynA(folder, fileName, sizeof folder);
    char* end = folder + strlen(folder);
    while (end > folder && end[-1] != '\\' && end[-1] != '/' && end[-1] != ':')
        --end;
    *end = '\0';
    if (!folder[0])
        lstrcpyA(folder, ".");

    char tempName[MAX_PATH] = {};
    SetLastError(0);
    if (!GetTempFileNameA(folder, "ivr", 0, tempName)) {
        ReportSystemError(LastErrorOr(ERROR_PATH_NOT_FOUND), TRUE, kCreateError);
        return false;
    }
    return SaveThroughTemp(fileName, tempName, config);
}

bool WriteIvrFileThrough(const char* fileName, const char* tempName, const VoiceMenuConfig* config)
{
    if (!CanReplaceTarget(fileName))
        return false;
    return SaveThroughTemp(fileName, tempName, config);
}
