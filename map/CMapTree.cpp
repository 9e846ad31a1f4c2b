#include "map/CMapTree.h"

#include "menuset/CMenuSet.h"
#include "menuset/MenuTexts.h"
#include "res/resource.h"

namespace {

std::string ActionName(int action)
{
    return StringText(action >= ACTION_NONE && action <= ACTION_DISCONNECT ? IDS_ACTION_NONE + action
                                                                           : IDS_ACTION_UNKNOWN);
}

std::string SlotLabel(int slot)
{
    char label[TEXT_SIZE] = {};
    GetSlotLabel(slot, label, sizeof label);
    return label;
}

} // namespace

void CMapTree::Clear()
{
    // Without redrawing each removal: a map of a thousand menus empties at once.
    SendMessageA(tree_, WM_SETREDRAW, FALSE, 0);
    SendMessageA(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    SendMessageA(tree_, WM_SETREDRAW, TRUE, 0);
    set_ = nullptr;
    nodes_.clear();
    menuNodes_.clear();
    keyNodes_.clear();
}

void CMapTree::Fill(const CMenuSet& set)
{
    Clear();
    set_ = &set;
    size_t count = set.Menus().size();
    menuNodes_.assign(count, nullptr);
    keyNodes_.assign(count, std::vector<HTREEITEM>(CONFIG_SLOT_COUNT, nullptr));

    SendMessageA(tree_, WM_SETREDRAW, FALSE, 0);
    std::vector<HTREEITEM> items;
    for (int entry : set.Entries()) {
        // An entry another entry leads to is shown there already.
        if (menuNodes_[entry])
            Insert(TVI_ROOT, FormatText(IDS_MAP_LINK_ABOVE, set.Menus()[entry].name.c_str()), {entry, -1, entry}, true);
        else
            AddMenu(TVI_ROOT, entry);
    }
    HTREEITEM group = nullptr;
    for (int menu = 0; menu < static_cast<int>(count); ++menu) {
        if (menuNodes_[menu] || set.IsReachable(menu))
            continue;
        if (!group)
            group = Insert(TVI_ROOT, StringText(IDS_MAP_UNREACHABLE_GROUP), {-1, -1, -1}, false);
        AddMenu(group, menu);
    }
    // Everything open: the map is read, not browsed.
    HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    while (item) {
        SendMessageA(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
        HTREEITEM next = reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_GETNEXTITEM, TVGN_CHILD,
                                                                  reinterpret_cast<LPARAM>(item)));
        // Depth first: the child, else the next sibling of this item or of an ancestor.
        for (HTREEITEM up = item; !next && up;
             up = reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_GETNEXTITEM, TVGN_PARENT,
                                                           reinterpret_cast<LPARAM>(up))))
            next = reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_GETNEXTITEM, TVGN_NEXT,
                                                            reinterpret_cast<LPARAM>(up)));
        item = next;
    }
    SendMessageA(tree_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tree_, nullptr, TRUE);
}

HTREEITEM CMapTree::AddMenu(HTREEITEM parent, int menu)
{
    HTREEITEM node = Insert(parent, MenuText(menu), {menu, -1, -1}, true);
    // Set before its keys: a circle back to this menu finds it shown.
    menuNodes_[menu] = node;
    const MenuInfo& info = set_->Menus()[menu];
    if (!info.readable)
        return node;
    // The keys and events the configuration dialog shows, as the check reads them.
    for (int slot = 0; slot < CONFIG_SHOWN_SLOTS; ++slot)
        if (info.record->slots[slot].action != ACTION_NONE)
            AddKey(node, menu, slot);
    return node;
}

void CMapTree::AddKey(HTREEITEM parent, int menu, int slot)
{
    const CommandSlot& command = set_->Menus()[menu].record->slots[slot];
    bool hasText = command.action >= 0 && command.action < CONFIG_ACTION_TEXTS;
    std::string param = hasText ? command.paramText[command.action] : "";
    int target = command.action == ACTION_MENU && !param.empty() ? set_->FindMenu(param) : -1;
    int linked = -1;
    std::string shown = param;
    if (command.action == ACTION_MENU && !param.empty()) {
        if (target < 0)
            shown = FormatText(IDS_MAP_LINK_MISSING, param.c_str());
        else if (menuNodes_[target])
            shown = FormatText(IDS_MAP_LINK_ABOVE, param.c_str()), linked = target;
    }
    HTREEITEM key = Insert(parent, KeyText(menu, slot, shown), {menu, slot, linked}, false);
    keyNodes_[menu][slot] = key;
    if (target >= 0 && linked < 0)
        AddMenu(key, target);
}

HTREEITEM CMapTree::Insert(HTREEITEM parent, const std::string& text, const Node& node, bool bold)
{
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_STATE;
    insert.item.pszText = const_cast<char*>(text.c_str());
    insert.item.lParam = static_cast<LPARAM>(nodes_.size());
    insert.item.state = bold ? TVIS_BOLD : 0;
    insert.item.stateMask = TVIS_BOLD;
    nodes_.push_back(node);
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

std::string CMapTree::MenuText(int menu) const
{
    const MenuInfo& info = set_->Menus()[menu];
    if (!info.readable)
        return FormatText(IDS_MAP_MENU_UNREADABLE, info.name.c_str(), info.unreadableReason.c_str());
    std::string wait = std::to_string(info.record->waitSeconds);
    if (!info.record->greeting[0])
        return FormatText(IDS_MAP_MENU_NO_GREETING, info.name.c_str(), wait.c_str());
    return FormatText(IDS_MAP_MENU_NODE, info.name.c_str(), info.record->greeting, wait.c_str());
}

std::string CMapTree::KeyText(int menu, int slot, const std::string& target) const
{
    int action = set_->Menus()[menu].record->slots[slot].action;
    std::string label = SlotLabel(slot);
    std::string name = ActionName(action);
    if (target.empty())
        return FormatText(IDS_MAP_KEY_NODE, label.c_str(), name.c_str());
    return FormatText(IDS_MAP_KEY_TARGET, label.c_str(), name.c_str(), target.c_str());
}

const CMapTree::Node* CMapTree::NodeOf(HTREEITEM node) const
{
    if (!node)
        return nullptr;
    TVITEMA item = {};
    item.mask = TVIF_PARAM;
    item.hItem = node;
    if (!SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return nullptr;
    size_t index = static_cast<size_t>(item.lParam);
    return index < nodes_.size() ? &nodes_[index] : nullptr;
}

int CMapTree::MenuOf(HTREEITEM node) const
{
    const Node* shown = NodeOf(node);
    return shown ? shown->menu : -1;
}

HTREEITEM CMapTree::LinkedNode(HTREEITEM node) const
{
    const Node* shown = NodeOf(node);
    return shown && shown->linked >= 0 ? MenuNode(shown->linked) : nullptr;
}

HTREEITEM CMapTree::MenuNode(int menu) const
{
    return menu >= 0 && menu < static_cast<int>(menuNodes_.size()) ? menuNodes_[menu] : nullptr;
}

HTREEITEM CMapTree::PlaceOf(int menu, int item) const
{
    if (menu >= 0 && menu < static_cast<int>(keyNodes_.size()) && item >= 0 && item < CONFIG_SLOT_COUNT &&
        keyNodes_[menu][item])
        return keyNodes_[menu][item];
    return MenuNode(menu);
}

HTREEITEM CMapTree::Selected() const
{
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_GETNEXTITEM, TVGN_CARET, 0));
}

void CMapTree::Select(HTREEITEM node)
{
    if (!node)
        return;
    SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node));
    SendMessageA(tree_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(node));
}
