// The menus of one folder as the IVR system sees them: every *.ivr file read
// by the .ivr rules (silently), the links of their "menu" actions, the
// greeting of each checked beside it, the entry menu, and the findings of the
// check, with each playable greeting measured as callers will hear it. Built
// for the console check and the map window alike: indices into Menus() name a
// menu everywhere.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "config/VoiceMenuConfig.h"
#include "menuset/MenuFinding.h"
#include "wave/CGreetingAnalysis.h"

enum GreetingState {
    GREETING_NONE,      // the menu names no greeting
    GREETING_PLAYABLE,  // found beside the menu, in a format the system plays
    GREETING_MISSING,   // not found beside the menu
    GREETING_REFUSED,   // refused by the format check: greetingReason says why
};

struct MenuInfo {
    std::string name;                        // the file name as the folder has it ("main.ivr")
    std::string path;                        // folder\name
    bool readable = false;
    std::string unreadableReason;            // why the .ivr rules refuse the file
    std::unique_ptr<VoiceMenuConfig> record; // as read; null when unreadable
    GreetingState greeting = GREETING_NONE;
    std::string greetingPath;                // where the greeting was looked for
    std::string greetingReason;              // of a refused greeting: its format and the required one
};

// One "menu" action of a readable menu.
struct MenuLink {
    int from;            // the menu holding the action
    int slot;            // its key slot
    std::string target;  // the parameter as the file holds it
    int to;              // the menu it names, or -1 (empty name, or no such file)
};

class CGreetingMeter;

// How the entry menu was found.
enum EntryRule {
    ENTRY_CHOSEN,  // named by the operator
    ENTRY_MAIN,    // main.ivr
    ENTRY_ROOTS,   // every menu that no menu outside its own circle leads to
};

class CMenuSet {
public:
    CMenuSet();
    ~CMenuSet();
    CMenuSet(const CMenuSet&) = delete;
    CMenuSet& operator=(const CMenuSet&) = delete;

    // Reads every *.ivr file of folder (any case of the extension), checks
    // each greeting and analyses each playable one (a file several menus name
    // once); the entry follows the rules. False, with the system's
    // error code, when the folder cannot be listed (ERROR_FILE_NOT_FOUND,
    // ERROR_PATH_NOT_FOUND or ERROR_DIRECTORY when there is no such folder);
    // the set is then empty.
    bool Load(const std::string& folder, DWORD* error);

    const std::string& Folder() const { return folder_; }
    // Sorted by name without regard to case.
    const std::vector<MenuInfo>& Menus() const { return menus_; }
    // Every "menu" action, by menu then slot.
    const std::vector<MenuLink>& Links() const { return links_; }
    // The menu a "menu" parameter (or a file name) names, or -1.
    int FindMenu(const std::string& target) const;
    // Indices into Links(): the actions of a menu, and those leading to it
    // ("Кто ведёт сюда").
    const std::vector<int>& LinksFrom(int menu) const { return linksFrom_[menu]; }
    const std::vector<int>& LinksTo(int menu) const { return linksTo_[menu]; }

    // The entry named by the operator (as a "menu" parameter names a menu);
    // false, and the entry unchanged, when the folder has no such menu.
    bool ChooseEntry(const std::string& name);
    // main.ivr when there is one, otherwise every menu that no menu outside
    // its own circle of menus leads to.
    void ChooseEntryByRules();
    EntryRule GetEntryRule() const { return entryRule_; }
    // By name; empty only for a folder without menus.
    const std::vector<int>& Entries() const { return entries_; }
    bool IsReachable(int menu) const { return reachable_[menu]; }
    // Entries first, then each menu they lead to once, depth first in key
    // order; then the menus they do not reach, by name.
    std::vector<int> MapOrder() const;

    // Every finding once, by menu name, then item, then code.
    std::vector<MenuFinding> Findings() const;
    // The greeting files the menus name, each counted once.
    int GreetingCount() const { return greetingCount_; }
    // The figures of a menu's playable greeting (menus that share a file share
    // them); null when the menu has none or its samples could not be decoded.
    const GreetingFigures* GreetingFiguresOf(int menu) const;

private:
    void ReadMenu(MenuInfo* menu);
    void CheckGreetings();
    int MeasureGreeting(CGreetingMeter* meter, HANDLE file, WORD formatTag, DWORD dataOffset, DWORD dataSize);
    void CollectLinks();
    void FollowEntries();
    std::vector<int> RootMenus() const;
    std::vector<bool> MenusWithExit() const;
    void AddMenuFindings(int menu, const std::vector<bool>& hasExit, std::vector<MenuFinding>* out) const;

    std::string folder_;
    std::vector<MenuInfo> menus_;
    std::vector<MenuLink> links_;
    std::vector<std::vector<int>> linksFrom_;
    std::vector<std::vector<int>> linksTo_;
    EntryRule entryRule_;
    std::vector<int> entries_;
    std::vector<bool> reachable_;
    int greetingCount_;
    std::vector<GreetingFigures> figures_;  // one per analysed greeting file
    std::vector<int> figuresOfMenu_;        // index into figures_, or -1
    struct NameIndex;
    std::unique_ptr<NameIndex> index_;  // folded name to menu
};
