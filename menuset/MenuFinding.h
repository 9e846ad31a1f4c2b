// One finding of the check of a folder of menus: what is wrong (a code with
// its severity), where (the menu and its item) and the text for people.
#pragma once
#include <string>

struct GreetingWarning;

// In the order findings of one item are listed.
enum FindingCode {
    FINDING_IVR_UNREADABLE,
    FINDING_TARGET_EMPTY,
    FINDING_TARGET_MISSING,
    FINDING_DIAL_EMPTY,
    FINDING_GREETING_MISSING,
    FINDING_GREETING_FORMAT,
    FINDING_GREETING_NONE,
    // The quality warnings of a playable greeting, in GREETING_WARNINGS' order.
    FINDING_GREETING_CLIPPED,
    FINDING_GREETING_QUIET,
    FINDING_GREETING_LOUD,
    FINDING_GREETING_LEAD_SILENCE,
    FINDING_GREETING_TAIL_SILENCE,
    FINDING_DEFAULT_NONE,
    FINDING_UNREACHABLE,
    FINDING_NO_EXIT,
    FINDING_CODE_COUNT
};

enum FindingSeverity {
    FINDING_ERROR,
    FINDING_WARNING,
};

// Items besides the key slots (0 to 13, as VoiceMenuConfig numbers them);
// they sort before the keys.
const int ITEM_WHOLE_MENU = -2;
const int ITEM_GREETING = -1;

struct MenuFinding {
    FindingCode code;
    int menu;           // index into CMenuSet::Menus()
    int item;           // a key slot, ITEM_GREETING or ITEM_WHOLE_MENU
    std::string text;   // Russian, in the ANSI code page
};

FindingSeverity SeverityOf(FindingCode code);
// The names scripts read: "target-missing", "error", "default", "#", "" ...
const char* FindingCodeName(FindingCode code);
// The finding a greeting's quality warning becomes: the code of its name
// (FINDING_CODE_COUNT for a name this table lacks).
FindingCode FindingOfGreetingWarning(const GreetingWarning& warning);
const char* SeverityName(FindingSeverity severity);
std::string ItemName(int item);
// Where the finding is, for people: "клавиша 1", "«По умолчанию»",
// "приветствие", or empty for the menu as a whole (string table).
std::string ItemLabel(int item);
// The order of the list: menu (the menus are sorted by name), item, code.
bool FindingBefore(const MenuFinding& a, const MenuFinding& b);
