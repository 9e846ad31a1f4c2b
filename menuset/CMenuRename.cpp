#include "menuset/CMenuRename.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "app/CommonServices.h"
#include "app/TextSize.h"
#include "config/IvrFile.h"
#include "menuset/CMenuSet.h"
#include "menuset/MenuNames.h"
#include "menuset/MenuTexts.h"
#include "res/resource.h"

namespace {

// Characters no file name holds, and the blanks no .ivr field keeps.
const char NAME_REFUSED_CHARS[] = "\\/:*?\"<>| \r\n";

// Root under Wine, and an administrator, could replace a read-only file: the
// attribute is checked here.
bool IsReadOnly(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('\\')); }

} // namespace

CMenuRename::CMenuRename(const CMenuSet& set) : set_(set) {}

bool CMenuRename::Fail(const std::string& file, const std::string& reason)
{
    failedFile_ = file;
    reason_ = reason;
    return false;
}

bool CMenuRename::Rename(int menu, const std::string& newName)
{
    failedFile_.clear();
    reason_.clear();
    rewrites_.clear();
    const std::vector<MenuInfo>& menus = set_.Menus();
    if (menu < 0 || menu >= static_cast<int>(menus.size()))
        return Fail(set_.Folder(), FormatText(IDS_RENAME_NO_MENU, std::to_string(menu).c_str()));
    const MenuInfo& renamed = menus[menu];
    std::string newFile = MenuFileOfTarget(newName);
    if (newName.empty() || newName.find_first_of(NAME_REFUSED_CHARS) != std::string::npos ||
        newFile.size() >= TEXT_SIZE)
        return Fail(renamed.path, FormatText(IDS_RENAME_BAD_NAME, newName.c_str()));
    std::string newPath = set_.Folder() + "\\" + newFile;
    // Another file of that name (a case change alone names the same file).
    if (!SameFileName(newFile, renamed.name) && GetFileAttributesA(newPath.c_str()) != INVALID_FILE_ATTRIBUTES)
        return Fail(newPath, FormatText(IDS_RENAME_EXISTS, newFile.c_str()));
    if (IsReadOnly(renamed.path))
        return Fail(renamed.path, StringText(IDS_RENAME_READ_ONLY));
    if (!Plan(menu, newFile) || !WriteAll())
        return false;

    SetLastError(0);
    if (!MoveFileExA(renamed.path.c_str(), newPath.c_str(), MOVEFILE_WRITE_THROUGH)) {
        DWORD code = GetLastError() ? GetLastError() : ERROR_ACCESS_DENIED;
        RollBack();
        return Fail(renamed.path, FormatText(IDS_RENAME_MOVE_FAILED, SystemErrorWithCode(code).c_str()));
    }
    DeleteBackups();
    return true;
}

// The records to write: every readable menu with a link to the renamed one
// (itself included), each checked by the .ivr rules before anything is written.
bool CMenuRename::Plan(int menu, const std::string& newFile)
{
    const std::string newBase = newFile.substr(0, newFile.size() - strlen(IVR_EXTENSION));
    const std::vector<MenuInfo>& menus = set_.Menus();
    for (int link : set_.LinksTo(menu)) {
        const MenuLink& to = set_.Links()[link];
        if (rewrites_.empty() || rewrites_.back().path != menus[to.from].path) {
            rewrites_.emplace_back();
            rewrites_.back().path = menus[to.from].path;
            rewrites_.back().record = *menus[to.from].record;
        }
        const std::string& text = HasIvrExtension(to.target) ? newFile : newBase;
        char* param = rewrites_.back().record.slots[to.slot].paramText[ACTION_MENU];
        lstrcpynA(param, text.c_str(), TEXT_SIZE);
    }
    for (const Rewrite& rewrite : rewrites_) {
        IvrCheck check = CheckIvrRecord(&rewrite.record);
        if (check.fault != IVR_FITS) {
            char reason[TEXT_SIZE] = {};
            DescribeIvrFault(check, reason, sizeof reason);
            return Fail(rewrite.path, reason);
        }
    }
    return true;
}

bool CMenuRename::WriteAll()
{
    for (Rewrite& rewrite : rewrites_) {
        if (!BackUpAndWrite(&rewrite)) {
            RollBack();
            return false;
        }
    }
    return true;
}

bool CMenuRename::BackUpAndWrite(Rewrite* rewrite)
{
    if (IsReadOnly(rewrite->path))
        return Fail(rewrite->path, StringText(IDS_RENAME_READ_ONLY));
    char backup[MAX_PATH] = {};
    SetLastError(0);
    if (!GetTempFileNameA(FolderOf(rewrite->path).c_str(), "ivb", 0, backup))
        return Fail(rewrite->path, SystemErrorWithCode(GetLastError()));
    rewrite->backup = backup;
    SetLastError(0);
    if (!CopyFileA(rewrite->path.c_str(), backup, FALSE))
        return Fail(rewrite->path, SystemErrorWithCode(GetLastError()));
    IvrWriteError error;
    if (!WriteIvrFileSilently(rewrite->path.c_str(), &rewrite->record, &error)) {
        char reason[TEXT_SIZE * 2] = {};
        DescribeIvrWriteError(error, reason, sizeof reason);
        return Fail(rewrite->path, reason);
    }
    rewrite->written = true;
    return true;
}

// A file the writer replaced gets its backup back by a rename: the very bytes
// (and times) it had. A failed write left its file as it was.
void CMenuRename::RollBack()
{
    for (auto it = rewrites_.rbegin(); it != rewrites_.rend(); ++it) {
        if (it->written)
            MoveFileExA(it->backup.c_str(), it->path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        it->written = false;
    }
    DeleteBackups();
}

void CMenuRename::DeleteBackups()
{
    for (Rewrite& rewrite : rewrites_) {
        if (!rewrite.backup.empty())
            DeleteFileA(rewrite.backup.c_str());
        rewrite.backup.clear();
    }
}
