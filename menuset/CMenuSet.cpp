#include "menuset/CMenuSet.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>

#include "app/CommonServices.h"
#include "app/ScopedWin.h"
#include "app/TextSize.h"
#include "config/IvrFile.h"
#include "menuset/CGreetingMeter.h"
#include "menuset/MenuNames.h"
#include "menuset/MenuTexts.h"
#include "res/resource.h"
#include "wave/GreetingVerdict.h"
#include "wave/VoiceFileCheck.h"
#include "wave/VoiceFormats.h"

struct CMenuSet::NameIndex {
    std::map<std::wstring, int> menus;
};

namespace {

const char MAIN_MENU[] = "main.ivr";
const int MESSAGE_TEXT_SIZE = 1024;  // a quality warning's text with its figures

// The folder's *.ivr files (any case of the extension; short names are not
// matched), or false with the error code.
bool ListMenuFiles(const std::string& folder, std::vector<std::string>* names, DWORD* error)
{
    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        *error = GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND;
        return false;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        *error = ERROR_DIRECTORY;
        return false;
    }
    WIN32_FIND_DATAA found;
    ScopedFind find(FindFirstFileA((folder + "\\*").c_str(), &found));
    if (find.Get() == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return *error == ERROR_FILE_NOT_FOUND;  // nothing in it at all
    }
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && HasIvrExtension(found.cFileName))
            names->push_back(found.cFileName);
    } while (FindNextFileA(find.Get(), &found));
    *error = GetLastError();
    return *error == ERROR_NO_MORE_FILES;
}

// The format of a refused greeting and the one required, on one line.
std::string DescribeRefusal(const std::string& name, DWORD code, const RawHeader& header)
{
    if (code != VOICE_ERROR_FORMAT)
        return FormatText(IDS_FINDING_GREETING_UNUSABLE, name.c_str(), SystemErrorLine(code).c_str());
    std::string bad = StringText(IDS_BAD_VALUE);
    const VoiceFormat* format = FindVoiceFormat(header.formatTag);
    std::string sound = header.channels == 1   ? StringText(IDS_MONO)
                        : header.channels == 2 ? StringText(IDS_STEREO)
                                               : bad;
    char rate[16];
    char byteRate[16];
    snprintf(rate, sizeof rate, "%lu", static_cast<unsigned long>(header.samplesPerSec));
    snprintf(byteRate, sizeof byteRate, "%lu", static_cast<unsigned long>(header.avgBytesPerSec));
    return FormatText(IDS_FINDING_GREETING_FORMAT, name.c_str(), format ? format->name : bad.c_str(), rate, byteRate,
                  sound.c_str());
}

std::string GreetingWarningText(const GreetingWarning& warning, const GreetingFigures& figures)
{
    char text[MESSAGE_TEXT_SIZE] = {};
    return FormatGreetingWarning(g_hInstance, warning, figures, text, sizeof text);
}

bool HasExitAction(const VoiceMenuConfig& record)
{
    for (int slot = 0; slot < CONFIG_SHOWN_SLOTS; ++slot)
        if (record.slots[slot].action == ACTION_DIAL || record.slots[slot].action == ACTION_DISCONNECT)
            return true;
    return false;
}

const char* ParamOf(const VoiceMenuConfig& record, int slot)
{
    return record.slots[slot].paramText[record.slots[slot].action];
}

} // namespace

CMenuSet::CMenuSet() : entryRule_(ENTRY_ROOTS), greetingCount_(0), index_(new NameIndex) {}

CMenuSet::~CMenuSet() = default;

bool CMenuSet::Load(const std::string& folder, DWORD* error)
{
    folder_ = folder;
    while (folder_.size() > 1 && (folder_.back() == '\\' || folder_.back() == '/') && folder_[folder_.size() - 2] != ':')
        folder_.pop_back();
    menus_.clear();
    links_.clear();
    index_->menus.clear();
    entries_.clear();
    greetingCount_ = 0;

    std::vector<std::string> names;
    bool listed = ListMenuFiles(folder_, &names, error);
    if (listed)
        *error = 0;
    else
        names.clear();
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return CompareFileNames(a, b) < 0; });

    menus_.resize(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        menus_[i].name = names[i];
        menus_[i].path = folder_ + "\\" + names[i];
        index_->menus[FoldedFileName(names[i])] = static_cast<int>(i);
        ReadMenu(&menus_[i]);
    }
    CheckGreetings();
    CollectLinks();
    ChooseEntryByRules();
    return listed;
}

void CMenuSet::ReadMenu(MenuInfo* menu)
{
    menu->record.reset(new VoiceMenuConfig);
    DWORD code = 0;
    menu->readable = ReadIvrFileSilently(menu->path.c_str(), menu->record.get(), &code);
    if (menu->readable)
        return;
    menu->record.reset();
    menu->unreadableReason = code ? SystemErrorLine(code) : StringText(IDS_IVR_MALFORMED);
}

void CMenuSet::CheckGreetings()
{
    // A greeting that several menus share is checked and analysed once.
    struct Verdict {
        GreetingState state;
        std::string reason;
        int figures;  // index into figures_, or -1
    };
    std::map<std::wstring, Verdict> checked;
    CGreetingMeter meter;
    figures_.clear();
    figuresOfMenu_.assign(menus_.size(), -1);
    for (size_t i = 0; i < menus_.size(); ++i) {
        MenuInfo& menu = menus_[i];
        if (!menu.readable || !menu.record->greeting[0])
            continue;
        const char* greeting = menu.record->greeting;
        // A .ivr file holds a bare name; one with a folder is taken as it is.
        bool hasFolder = strchr(greeting, '\\') || strchr(greeting, ':');
        menu.greetingPath = hasFolder ? std::string(greeting) : folder_ + "\\" + greeting;
        auto found = checked.find(FoldedFileName(menu.greetingPath));
        if (found == checked.end()) {
            ScopedHandle file;
            RawHeader header = {};
            DWORD dataOffset = 0;
            DWORD dataSize = 0;
            DWORD code = CheckVoiceFile(menu.greetingPath.c_str(), &file, &header, &dataOffset, &dataSize);
            Verdict verdict = {GREETING_PLAYABLE, "", -1};
            if (code == VOICE_ERROR_MISSING)
                verdict.state = GREETING_MISSING;
            else if (code != VOICE_ERROR_NONE)
                verdict = {GREETING_REFUSED, DescribeRefusal(greeting, code, header), -1};
            else
                verdict.figures = MeasureGreeting(&meter, file.Get(), header.formatTag, dataOffset, dataSize);
            found = checked.emplace(FoldedFileName(menu.greetingPath), verdict).first;
        }
        menu.greeting = found->second.state;
        menu.greetingReason = found->second.reason;
        figuresOfMenu_[i] = found->second.figures;
    }
    greetingCount_ = static_cast<int>(checked.size());
}

// The figures of a playable greeting, kept for every menu that names it; -1
// when its samples cannot be decoded (a codec missing from the system): the
// format check has passed it, and nothing is known of its sound.
int CMenuSet::MeasureGreeting(CGreetingMeter* meter, HANDLE file, WORD formatTag, DWORD dataOffset,
                              DWORD dataSize)
{
    GreetingFigures figures = {};
    if (meter->Measure(file, formatTag, dataOffset, dataSize, &figures) != 0)
        return -1;
    figures_.push_back(figures);
    return static_cast<int>(figures_.size()) - 1;
}

const GreetingFigures* CMenuSet::GreetingFiguresOf(int menu) const
{
    int at = figuresOfMenu_[menu];
    return at < 0 ? nullptr : &figures_[at];
}

void CMenuSet::CollectLinks()
{
    linksFrom_.assign(menus_.size(), std::vector<int>());
    linksTo_.assign(menus_.size(), std::vector<int>());
    for (size_t i = 0; i < menus_.size(); ++i) {
        if (!menus_[i].readable)
            continue;
        const VoiceMenuConfig& record = *menus_[i].record;
        for (int slot = 0; slot < CONFIG_SHOWN_SLOTS; ++slot) {
            if (record.slots[slot].action != ACTION_MENU)
                continue;
            MenuLink link = {static_cast<int>(i), slot, ParamOf(record, slot), -1};
            link.to = FindMenu(link.target);
            int at = static_cast<int>(links_.size());
            links_.push_back(link);
            linksFrom_[i].push_back(at);
            if (link.to >= 0)
                linksTo_[link.to].push_back(at);
        }
    }
}

int CMenuSet::FindMenu(const std::string& target) const
{
    if (target.empty())
        return -1;
    auto found = index_->menus.find(FoldedFileName(MenuFileOfTarget(target)));
    return found == index_->menus.end() ? -1 : found->second;
}

bool CMenuSet::ChooseEntry(const std::string& name)
{
    int menu = FindMenu(name);
    if (menu < 0)
        return false;
    entryRule_ = ENTRY_CHOSEN;
    entries_.assign(1, menu);
    FollowEntries();
    return true;
}

void CMenuSet::ChooseEntryByRules()
{
    int main = FindMenu(MAIN_MENU);
    entryRule_ = main >= 0 ? ENTRY_MAIN : ENTRY_ROOTS;
    entries_ = main >= 0 ? std::vector<int>(1, main) : RootMenus();
    FollowEntries();
}

// The circles are the strongly connected parts of the links (Kosaraju's two
// passes, without recursion: a chain of a thousand menus is no deep stack).
// A circle no link enters from outside is a root; a menu alone is a circle of one.
std::vector<int> CMenuSet::RootMenus() const
{
    const int count = static_cast<int>(menus_.size());
    std::vector<int> finished;
    std::vector<bool> seen(count, false);
    for (int start = 0; start < count; ++start) {
        if (seen[start])
            continue;
        std::vector<std::pair<int, size_t>> stack = {{start, 0}};
        seen[start] = true;
        while (!stack.empty()) {
            auto& top = stack.back();
            const std::vector<int>& out = linksFrom_[top.first];
            if (top.second < out.size()) {
                int next = links_[out[top.second++]].to;
                if (next >= 0 && !seen[next]) {
                    seen[next] = true;
                    stack.push_back({next, 0});
                }
            } else {
                finished.push_back(top.first);
                stack.pop_back();
            }
        }
    }
    std::vector<int> circle(count, -1);
    int circles = 0;
    for (auto it = finished.rbegin(); it != finished.rend(); ++it) {
        if (circle[*it] >= 0)
            continue;
        std::vector<int> stack = {*it};
        circle[*it] = circles;
        while (!stack.empty()) {
            int menu = stack.back();
            stack.pop_back();
            for (int link : linksTo_[menu]) {
                int from = links_[link].from;
                if (circle[from] < 0) {
                    circle[from] = circles;
                    stack.push_back(from);
                }
            }
        }
        ++circles;
    }
    std::vector<bool> entered(circles, false);
    for (const MenuLink& link : links_)
        if (link.to >= 0 && circle[link.from] != circle[link.to])
            entered[circle[link.to]] = true;
    std::vector<int> roots;
    for (int menu = 0; menu < count; ++menu)
        if (!entered[circle[menu]])
            roots.push_back(menu);
    return roots;
}

void CMenuSet::FollowEntries()
{
    reachable_.assign(menus_.size(), false);
    std::vector<int> stack(entries_);
    for (int menu : entries_)
        reachable_[menu] = true;
    while (!stack.empty()) {
        int menu = stack.back();
        stack.pop_back();
        for (int link : linksFrom_[menu]) {
            int next = links_[link].to;
            if (next >= 0 && !reachable_[next]) {
                reachable_[next] = true;
                stack.push_back(next);
            }
        }
    }
}

std::vector<int> CMenuSet::MapOrder() const
{
    std::vector<int> order;
    std::vector<bool> placed(menus_.size(), false);
    for (int entry : entries_) {
        if (placed[entry])
            continue;
        // Depth first, keys in order: each menu's links are pushed in reverse.
        std::vector<int> stack = {entry};
        while (!stack.empty()) {
            int menu = stack.back();
            stack.pop_back();
            if (placed[menu])
                continue;
            placed[menu] = true;
            order.push_back(menu);
            const std::vector<int>& out = linksFrom_[menu];
            for (auto it = out.rbegin(); it != out.rend(); ++it)
                if (links_[*it].to >= 0 && !placed[links_[*it].to])
                    stack.push_back(links_[*it].to);
        }
    }
    for (size_t menu = 0; menu < menus_.size(); ++menu)
        if (!placed[menu])
            order.push_back(static_cast<int>(menu));
    return order;
}

// A menu has an exit when it dials or disconnects itself, or when a chain of
// "menu" actions leads from it to one that does; an unreadable menu counts as
// one with an exit, as nothing is known of it.
std::vector<bool> CMenuSet::MenusWithExit() const
{
    std::vector<bool> hasExit(menus_.size(), false);
    std::vector<int> stack;
    for (size_t menu = 0; menu < menus_.size(); ++menu) {
        if (!menus_[menu].readable || HasExitAction(*menus_[menu].record)) {
            hasExit[menu] = true;
            stack.push_back(static_cast<int>(menu));
        }
    }
    while (!stack.empty()) {
        int menu = stack.back();
        stack.pop_back();
        for (int link : linksTo_[menu]) {
            int from = links_[link].from;
            if (!hasExit[from]) {
                hasExit[from] = true;
                stack.push_back(from);
            }
        }
    }
    return hasExit;
}

std::vector<MenuFinding> CMenuSet::Findings() const
{
    std::vector<MenuFinding> findings;
    std::vector<bool> hasExit = MenusWithExit();
    for (size_t menu = 0; menu < menus_.size(); ++menu)
        AddMenuFindings(static_cast<int>(menu), hasExit, &findings);
    std::sort(findings.begin(), findings.end(), FindingBefore);
    return findings;
}

void CMenuSet::AddMenuFindings(int index, const std::vector<bool>& hasExit, std::vector<MenuFinding>* out) const
{
    const MenuInfo& menu = menus_[index];
    auto add = [&](FindingCode code, int item, const std::string& text) {
        out->push_back(MenuFinding{code, index, item, text});
    };
    if (!menu.readable) {
        add(FINDING_IVR_UNREADABLE, ITEM_WHOLE_MENU,
            FormatText(IDS_FINDING_IVR_UNREADABLE, menu.unreadableReason.c_str()));
        return;
    }
    const VoiceMenuConfig& record = *menu.record;
    for (int link : linksFrom_[index]) {
        const MenuLink& to = links_[link];
        if (to.target.empty())
            add(FINDING_TARGET_EMPTY, to.slot, StringText(IDS_FINDING_TARGET_EMPTY));
        else if (to.to < 0)
            add(FINDING_TARGET_MISSING, to.slot,
                FormatText(IDS_FINDING_TARGET_MISSING, to.target.c_str(), MenuFileOfTarget(to.target).c_str()));
    }
    for (int slot = 0; slot < CONFIG_SHOWN_SLOTS; ++slot)
        if (record.slots[slot].action == ACTION_DIAL && !ParamOf(record, slot)[0])
            add(FINDING_DIAL_EMPTY, slot, StringText(IDS_FINDING_DIAL_EMPTY));

    if (menu.greeting == GREETING_NONE)
        add(FINDING_GREETING_NONE, ITEM_GREETING, StringText(IDS_FINDING_GREETING_NONE));
    else if (menu.greeting == GREETING_MISSING)
        add(FINDING_GREETING_MISSING, ITEM_GREETING, FormatText(IDS_FINDING_GREETING_MISSING, record.greeting));
    else if (menu.greeting == GREETING_REFUSED)
        add(FINDING_GREETING_FORMAT, ITEM_GREETING, menu.greetingReason);
    else if (const GreetingFigures* figures = GreetingFiguresOf(index))
        for (const GreetingWarning* warning : FindGreetingWarnings(*figures)) {
            FindingCode code = FindingOfGreetingWarning(*warning);
            if (code != FINDING_CODE_COUNT)
                add(code, ITEM_GREETING, GreetingWarningText(*warning, *figures));
        }

    if (record.slots[SLOT_DEFAULT].action == ACTION_NONE)
        add(FINDING_DEFAULT_NONE, SLOT_DEFAULT, StringText(IDS_FINDING_DEFAULT_NONE));
    if (!reachable_[index])
        add(FINDING_UNREACHABLE, ITEM_WHOLE_MENU, StringText(IDS_FINDING_UNREACHABLE));
    if (!hasExit[index])
        add(FINDING_NO_EXIT, ITEM_WHOLE_MENU, StringText(IDS_FINDING_NO_EXIT));
}
