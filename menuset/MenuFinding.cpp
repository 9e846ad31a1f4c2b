#include "menuset/MenuFinding.h"

#include <windows.h>
#include <string.h>

#include "app/CommonServices.h"
#include "app/TextSize.h"
#include "config/VoiceMenuConfig.h"
#include "menuset/MenuTexts.h"
#include "res/resource.h"
#include "wave/GreetingVerdict.h"

namespace {

struct CodeRow {
    FindingCode code;
    const char* name;
    FindingSeverity severity;
};
const CodeRow CODES[FINDING_CODE_COUNT] = {
    {FINDING_IVR_UNREADABLE, "ivr-unreadable", FINDING_ERROR},
    {FINDING_TARGET_EMPTY, "target-empty", FINDING_ERROR},
    {FINDING_TARGET_MISSING, "target-missing", FINDING_ERROR},
    {FINDING_DIAL_EMPTY, "dial-empty", FINDING_ERROR},
    {FINDING_GREETING_MISSING, "greeting-missing", FINDING_ERROR},
    {FINDING_GREETING_FORMAT, "greeting-format", FINDING_ERROR},
    {FINDING_GREETING_NONE, "greeting-none", FINDING_WARNING},
    {FINDING_GREETING_CLIPPED, "greeting-clipped", FINDING_WARNING},
    {FINDING_GREETING_QUIET, "greeting-quiet", FINDING_WARNING},
    {FINDING_GREETING_LOUD, "greeting-loud", FINDING_WARNING},
    {FINDING_GREETING_LEAD_SILENCE, "greeting-lead-silence", FINDING_WARNING},
    {FINDING_GREETING_TAIL_SILENCE, "greeting-tail-silence", FINDING_WARNING},
    {FINDING_DEFAULT_NONE, "default-none", FINDING_WARNING},
    {FINDING_UNREACHABLE, "unreachable", FINDING_WARNING},
    {FINDING_NO_EXIT, "no-exit", FINDING_WARNING},
};

} // namespace

FindingSeverity SeverityOf(FindingCode code) { return CODES[code].severity; }

const char* FindingCodeName(FindingCode code) { return CODES[code].name; }

FindingCode FindingOfGreetingWarning(const GreetingWarning& warning)
{
    // The warning table names its codes; this table gives each its place in
    // the order of the findings. A name missing here is a fault of the build,
    // which the tests of the menu set catch.
    for (const CodeRow& row : CODES)
        if (strcmp(row.name, warning.code) == 0)
            return row.code;
    return FINDING_CODE_COUNT;
}

const char* SeverityName(FindingSeverity severity) { return severity == FINDING_ERROR ? "error" : "warning"; }

std::string ItemName(int item)
{
    switch (item) {
    case ITEM_WHOLE_MENU:
        return "";
    case ITEM_GREETING:
        return "greeting";
    case SLOT_DEFAULT:
        return "default";
    case SLOT_BUSY:
        return "busy";
    default:
        return std::string(1, SlotKey(item));
    }
}

std::string ItemLabel(int item)
{
    if (item == ITEM_WHOLE_MENU)
        return "";
    if (item == ITEM_GREETING)
        return StringText(IDS_ITEM_GREETING);
    char label[TEXT_SIZE] = {};
    GetSlotLabel(item, label, sizeof label);
    char text[TEXT_SIZE] = {};
    wsprintfA(text, StringText(item == SLOT_DEFAULT || item == SLOT_BUSY ? IDS_ITEM_EVENT : IDS_ITEM_KEY).c_str(),
              label);
    return text;
}

bool FindingBefore(const MenuFinding& a, const MenuFinding& b)
{
    if (a.menu != b.menu)
        return a.menu < b.menu;
    if (a.item != b.item)
        return a.item < b.item;
    return a.code < b.code;
}
