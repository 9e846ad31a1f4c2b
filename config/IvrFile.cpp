#include "config/IvrFile.h"

#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>

#include "app/CReplacementFile.h"
#include "app/CommonServices.h"
#include "app/ScopedWin.h"
#include "app/TextSize.h"
#include "res/resource.h"

namespace {

const int LINE_CHARS = 254;     // one read: at most this many characters, line end included
const int WAIT_CHARS = 3;       // the wait time is read from the first three characters
const int KEYWORD_COLUMN = 5;   // also where the greeting begins after a two-digit wait time
const int PARAM_COLUMN = 21;
const int FIELD_CHARS = IVR_PARAM_CHARS;  // keyword and parameter fields are read this wide
const int PIECE_SIZE = 1024;    // one formatted header or slot line

// Line 1 with and without a greeting; the three blanks after the wait time put
// the greeting at KEYWORD_COLUMN when the wait time has two digits.
const char HEADER_WITH_GREETING[] = "%02d   %s.%s\n\n";
const char HEADER_WITHOUT_GREETING[] = "%02d           \n\n";
const char WAIT_FORMAT[] = "%02d";

// The one table of key-line actions: the reader matches keywords by it and the
// writer lays out the columns by it.
struct ActionKeyword {
    int action;
    const char* keyword;
    bool withinField;  // also recognised inside a longer keyword field
    bool hasParam;     // the line carries the action's parameter
};
const ActionKeyword ACTION_KEYWORDS[] = {
    {ACTION_MENU, "menu", false, true},
    {ACTION_DIAL, "dial", false, true},
    {ACTION_DISCONNECT, "disconnect", true, false},
};

const ActionKeyword* KeywordOfAction(int action)
{
    for (const ActionKeyword& entry : ACTION_KEYWORDS)
        if (entry.action == action)
            return &entry;
    return nullptr;
}

const ActionKeyword* ActionOfKeyword(const char* keyword)
{
    for (const ActionKeyword& entry : ACTION_KEYWORDS)
        if (entry.withinField ? strstr(keyword, entry.keyword) != nullptr : strcmp(keyword, entry.keyword) == 0)
            return &entry;
    return nullptr;
}

// Line 1 (and the empty line 2) as the writer writes them; answers the length
// of line 1 without its line end.
int FormatHeader(const char* greeting, int waitSeconds, char* out, int size)
{
    char name[TEXT_SIZE];
    char ext[TEXT_SIZE];
    GetNamePart(greeting, name, sizeof name);
    GetExtPart(greeting, ext, sizeof ext);
    int length = name[0] ? snprintf(out, size, HEADER_WITH_GREETING, waitSeconds, name, ext)
                         : snprintf(out, size, HEADER_WITHOUT_GREETING, waitSeconds);
    return length - 2;
}

// One key line: the key padded to the keyword column, the keyword padded to
// the parameter column, then the parameter.
void FormatSlotLine(char key, const ActionKeyword& entry, const char* param, char* out, int size)
{
    if (entry.hasParam)
        snprintf(out, size, "%-*c%-*s%.255s\n", KEYWORD_COLUMN, key, PARAM_COLUMN - KEYWORD_COLUMN, entry.keyword,
                 param);
    else
        snprintf(out, size, "%-*c%s\n", KEYWORD_COLUMN, key, entry.keyword);
}

IvrCheck Fits() { return IvrCheck{IVR_FITS, -1, 0, 0}; }

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};
using ScopedFile = std::unique_ptr<FILE, FileCloser>;

// Reads one line into a zeroed buffer of TEXT_SIZE bytes: at most 254
// characters up to and including the line end; the rest of a longer line comes
// with the next read. CR LF arrives as LF alone, so a file with LF line ends
// reads exactly like one with CR LF, even where a line meets the limit. False
// at the end of the file.
bool ReadLine(FILE* file, char* line)
{
    memset(line, 0, TEXT_SIZE);
    int length = 0;
    while (length < LINE_CHARS) {
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
    memset(out, 0, TEXT_SIZE);
    size_t length = strlen(line);
    if (length <= static_cast<size_t>(column))
        return;
    char field[TEXT_SIZE] = {};
    memcpy(field, line + column, length - column < static_cast<size_t>(width) ? length - column : width);
    StripBlanks(field, out);
}

void ReadHeader(const char* line, VoiceMenuConfig* config)
{
    char wait[WAIT_CHARS + 1] = {};
    memcpy(wait, line, WAIT_CHARS);
    config->waitSeconds = atoi(wait);
    if (strlen(line) > static_cast<size_t>(KEYWORD_COLUMN))
        StripBlanks(line + KEYWORD_COLUMN, config->greeting);
}

// One key line; false when it does not belong in the file.
bool ReadSlotLine(const char* line, VoiceMenuConfig* config)
{
    int index = SlotOfKey(line[0]);
    if (index < 0)
        return false;
    CommandSlot& slot = config->slots[index];

    char keyword[TEXT_SIZE];
    ReadField(line, KEYWORD_COLUMN, FIELD_CHARS, keyword);
    // An unknown keyword leaves what an earlier line for the key set.
    if (const ActionKeyword* entry = ActionOfKeyword(keyword))
        slot.action = entry->action;
    if (slot.action == ACTION_NONE)
        return false;

    ReadField(line, PARAM_COLUMN, FIELD_CHARS, slot.paramText[slot.action]);
    return true;
}

// Opens a configuration file for reading; answers 0 or the error code.
DWORD OpenIvrFile(const char* fileName, ScopedFile* file)
{
    if (!fileName)
        return ERROR_INVALID_NAME;
    SetLastError(0);
    _doserrno = 0;
    file->reset(fopen(fileName, "rb"));
    if (*file)
        return 0;
    DWORD code = GetLastError();
    if (!code)
        code = _doserrno ? static_cast<DWORD>(_doserrno) : ERROR_OPEN_FAILED;
    return code;
}

// Reads the lines of an open file into a cleared record; false on a line that
// does not belong in the file or a failing disk (not the end of the file).
bool ReadIvrContent(FILE* file, VoiceMenuConfig* config)
{
    char line[TEXT_SIZE];
    if (ReadLine(file, line)) {
        ReadHeader(line, config);
        ReadLine(file, line);  // line 2 is ignored
        while (ReadLine(file, line)) {
            if (line[0] == '\0')
                continue;
            if (!ReadSlotLine(line, config))
                return false;
        }
    }
    return !ferror(file);
}

// Sends a formatted piece to the debug channel and writes it with CR LF line
// ends. Answers 0 or the error code.
DWORD WritePiece(CReplacementFile& file, const char* text)
{
    OutputDebugStringA(text);
    char bytes[PIECE_SIZE * 2];
    DWORD size = 0;
    for (const char* p = text; *p; ++p) {
        if (*p == '\n')
            bytes[size++] = '\r';
        bytes[size++] = *p;
    }
    return file.Write(bytes, size);
}

DWORD WriteContent(CReplacementFile& file, const VoiceMenuConfig* config)
{
    char piece[PIECE_SIZE];
    FormatHeader(config->greeting, config->waitSeconds, piece, sizeof piece);
    if (DWORD code = WritePiece(file, piece))
        return code;

    // Every slot, "t" included: the dialog shows no row for it, yet the IVR
    // system reads its line, so a file opened and saved keeps it.
    for (int i = 0; i < CONFIG_SLOT_COUNT; ++i) {
        const CommandSlot& slot = config->slots[i];
        const ActionKeyword* entry = KeywordOfAction(slot.action);
        if (!entry)
            continue;
        FormatSlotLine(SlotKey(i), *entry, slot.paramText[slot.action], piece, sizeof piece);
        if (DWORD code = WritePiece(file, piece))
            return code;
    }
    return 0;
}

// A failed step: the system's code and the context line of its report.
bool Failed(IvrWriteError* error, DWORD code, UINT contextId)
{
    error->code = code;
    error->contextId = contextId;
    return false;
}

// The last guard before anything is written: a record that would read back
// otherwise is refused with its reason, and the old file stays as it is.
bool RecordFits(const VoiceMenuConfig* config, IvrWriteError* error)
{
    error->check = CheckIvrRecord(config);
    return error->check.fault == IVR_FITS;
}

// A read-only file or a folder at the target's name is refused before anything
// is written.
bool CanReplaceTarget(const char* fileName, IvrWriteError* error)
{
    DWORD code = CReplacementFile::CheckTarget(fileName);
    return code == 0 || Failed(error, code, IDS_IVR_REPLACE_ERROR);
}

// Writes the record into the temporary that created made (or failed to: its
// code), then renames it over the target in one step; the target is untouched
// unless everything before succeeded.
bool SaveThrough(CReplacementFile& file, DWORD created, const VoiceMenuConfig* config, IvrWriteError* error)
{
    DWORD code = created;
    if (!code)
        code = WriteContent(file, config);
    if (!code)
        code = file.Flush();
    if (code) {
        file.Discard();
        return Failed(error, code, IDS_IVR_CREATE_ERROR);
    }
    code = file.Replace();
    return code == 0 || Failed(error, code, IDS_IVR_REPLACE_ERROR);
}

// The message of a failed write, as the configurator shows it.
bool ReportWriteError(const char* fileName, const IvrWriteError& error)
{
    if (error.check.fault != IVR_FITS) {
        char reason[TEXT_SIZE] = {};
        DescribeIvrFault(error.check, reason, sizeof reason);
        ShowMessageFormat(g_hInstance, g_hMainWnd, MB_OK | MB_ICONHAND, IDS_IVR_NOT_SAVED, fileName, reason);
    } else {
        ReportSystemErrorId(error.code, error.contextId);
    }
    return false;
}

IvrWriteError NoWriteError() { return IvrWriteError{Fits(), 0, 0}; }

} // namespace

IvrCheck CheckIvrGreeting(const char* greeting, int waitSeconds)
{
    char wait[PIECE_SIZE];
    if (snprintf(wait, sizeof wait, WAIT_FORMAT, waitSeconds) > WAIT_CHARS)
        return IvrCheck{IVR_WAIT_TOO_WIDE, -1, WAIT_CHARS, waitSeconds};

    char name[TEXT_SIZE];
    char ext[TEXT_SIZE];
    GetNamePart(greeting, name, sizeof name);
    GetExtPart(greeting, ext, sizeof ext);
    if (!name[0])
        return Fits();  // no greeting is written
    if (HasBlank(name) || HasBlank(ext))
        return IvrCheck{IVR_GREETING_BLANK, -1, 0, 0};

    // Line 1 must come in one read, its line end included.
    char header[PIECE_SIZE];
    int length = FormatHeader(greeting, waitSeconds, header, sizeof header);
    int written = static_cast<int>(strlen(name) + 1 + strlen(ext));
    if (length + 1 > LINE_CHARS)
        return IvrCheck{IVR_GREETING_TOO_LONG, -1, LINE_CHARS - 1 - (length - written), written};
    return Fits();
}

IvrCheck CheckIvrParam(int slot, const char* param)
{
    if (HasBlank(param))
        return IvrCheck{IVR_PARAM_BLANK, slot, FIELD_CHARS, 0};
    int length = static_cast<int>(strlen(param));
    if (length > FIELD_CHARS)
        return IvrCheck{IVR_PARAM_TOO_LONG, slot, FIELD_CHARS, length};
    return Fits();
}

IvrCheck CheckIvrRecord(const VoiceMenuConfig* config)
{
    IvrCheck check = CheckIvrGreeting(config->greeting, config->waitSeconds);
    for (int i = 0; check.fault == IVR_FITS && i < CONFIG_SLOT_COUNT; ++i) {
        const CommandSlot& slot = config->slots[i];
        const ActionKeyword* entry = KeywordOfAction(slot.action);
        if (entry && entry->hasParam)
            check = CheckIvrParam(i, slot.paramText[slot.action]);
    }
    return check;
}

bool GreetingNameFits(HWND owner, const char* greeting, int waitSeconds, const char* shownName)
{
    IvrCheck check = CheckIvrGreeting(greeting, waitSeconds);
    if (check.fault == IVR_FITS)
        return true;
    char reason[TEXT_SIZE] = {};
    DescribeIvrFault(check, reason, sizeof reason);
    ShowMessageFormat(g_hInstance, owner, MB_OK | MB_ICONHAND, IDS_GREETING_REFUSED, shownName, reason);
    return false;
}

void DescribeIvrFault(const IvrCheck& check, char* out, int size)
{
    static const struct {
        IvrFault fault;
        UINT id;
    } REASONS[] = {
        {IVR_WAIT_TOO_WIDE, IDS_FAULT_WAIT},
        {IVR_GREETING_BLANK, IDS_FAULT_GREETING_BLANK},
        {IVR_GREETING_TOO_LONG, IDS_FAULT_GREETING_LONG},
        {IVR_PARAM_BLANK, IDS_FAULT_PARAM_BLANK},
        {IVR_PARAM_TOO_LONG, IDS_FAULT_PARAM_LONG},
    };
    memset(out, 0, size);
    char format[TEXT_SIZE] = {};
    for (const auto& reason : REASONS)
        if (reason.fault == check.fault)
            LoadStringA(g_hInstance, reason.id, format, sizeof format);
    char label[TEXT_SIZE] = {};
    GetSlotLabel(check.slot, label, sizeof label);
    switch (check.fault) {
    case IVR_WAIT_TOO_WIDE:
        snprintf(out, size, format, check.value);
        break;
    case IVR_GREETING_TOO_LONG:
        snprintf(out, size, format, check.limit);
        break;
    case IVR_PARAM_BLANK:
    case IVR_PARAM_TOO_LONG:
        snprintf(out, size, format, label, check.limit);
        break;
    default:
        lstrcpynA(out, format, size);
        break;
    }
}

bool ReadIvrFile(const char* fileName, VoiceMenuConfig* config)
{
    memset(config, 0, sizeof *config);
    ScopedFile file;
    if (DWORD code = OpenIvrFile(fileName, &file)) {
        ReportSystemErrorId(code, IDS_IVR_OPEN_ERROR);
        return false;
    }
    return ReadIvrContent(file.get(), config);
}

bool ReadIvrFileSilently(const char* fileName, VoiceMenuConfig* config, DWORD* error)
{
    memset(config, 0, sizeof *config);
    ScopedFile file;
    *error = OpenIvrFile(fileName, &file);
    if (*error)
        return false;
    if (ReadIvrContent(file.get(), config))
        return true;
    if (ferror(file.get()))
        *error = ERROR_READ_FAULT;
    return false;
}

bool WriteIvrFile(const char* fileName, const VoiceMenuConfig* config)
{
    IvrWriteError error;
    return WriteIvrFileSilently(fileName, config, &error) || ReportWriteError(fileName, error);
}

bool WriteIvrFileSilently(const char* fileName, const VoiceMenuConfig* config, IvrWriteError* error)
{
    *error = NoWriteError();
    if (!fileName || !*fileName)
        return Failed(error, ERROR_INVALID_NAME, IDS_IVR_CREATE_ERROR);
    if (strlen(fileName) >= MAX_PATH)
        return Failed(error, ERROR_FILENAME_EXCED_RANGE, IDS_IVR_CREATE_ERROR);
    if (!RecordFits(config, error) || !CanReplaceTarget(fileName, error))
        return false;
    CReplacementFile file;
    return SaveThrough(file, file.Create(fileName, "ivr"), config, error);
}

bool WriteIvrFileThrough(const char* fileName, const char* tempName, const VoiceMenuConfig* config)
{
    IvrWriteError error = NoWriteError();
    if (RecordFits(config, &error) && CanReplaceTarget(fileName, &error)) {
        CReplacementFile file;
        if (SaveThrough(file, file.CreateAs(fileName, tempName), config, &error))
            return true;
    }
    return ReportWriteError(fileName, error);
}

void DescribeIvrWriteError(const IvrWriteError& error, char* out, int size)
{
    if (error.check.fault != IVR_FITS) {
        DescribeIvrFault(error.check, out, size);
        return;
    }
    char context[TEXT_SIZE] = {};
    LoadStringA(g_hInstance, error.contextId, context, sizeof context);
    char system[TEXT_SIZE * 2] = {};
    GetSystemErrorText(error.code, system, sizeof system);
    // The system's text ends with its own line end.
    for (char* p = system + strlen(system); p > system && (p[-1] == '\n' || p[-1] == '\r' || p[-1] == '.'); --p)
        p[-1] = '\0';
    snprintf(out, size, "%s: %s (%lu)", context, system, static_cast<unsigned long>(error.code));
}
