// Renames one menu of a folder and rewrites every link to it in the other
// menus, all or nothing: each file is backed up before the .ivr writer
// replaces it, and when any step fails every file written so far is put back
// from its backup, so the folder is as it was, byte for byte.
#pragma once
#include <string>
#include <vector>

#include "config/VoiceMenuConfig.h"

class CMenuSet;

class CMenuRename {
public:
    explicit CMenuRename(const CMenuSet& set);
    CMenuRename(const CMenuRename&) = delete;
    CMenuRename& operator=(const CMenuRename&) = delete;

    // Renames the menu at index menu of the set to newName (".ivr" is added
    // when missing); each link to it keeps its form, with or without ".ivr".
    // False when anything cannot be done: every file is then as it was, and
    // FailedFile and Reason say which file and why. The set is not changed:
    // read the folder again afterwards.
    bool Rename(int menu, const std::string& newName);

    const std::string& FailedFile() const { return failedFile_; }
    const std::string& Reason() const { return reason_; }

private:
    struct Rewrite {
        std::string path;
        VoiceMenuConfig record;
        std::string backup;  // set once the file is backed up
        bool written = false;
    };

    bool Plan(int menu, const std::string& newFile);
    bool WriteAll();
    bool BackUpAndWrite(Rewrite* rewrite);
    void RollBack();
    void DeleteBackups();
    bool Fail(const std::string& file, const std::string& reason);

    const CMenuSet& set_;
    std::vector<Rewrite> rewrites_;
    std::string failedFile_;
    std::string reason_;
};
