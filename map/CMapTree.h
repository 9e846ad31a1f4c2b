// The tree view of the map: the menus from the entry, each with its greeting
// and wait time, under it each key with its action and target, and under a
// key that leads to a menu not shown yet that menu in full. A menu met again
// is a link to the node that shows it; the menus the entry does not reach
// follow under a node of their own. Answers which menu a node belongs to and
// which node shows a finding's place.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "config/VoiceMenuConfig.h"

class CMenuSet;

class CMapTree {
public:
    CMapTree() = default;
    CMapTree(const CMapTree&) = delete;
    CMapTree& operator=(const CMapTree&) = delete;

    void Attach(HWND tree) { tree_ = tree; }
    // Empties the tree and shows set (which must outlive the next Fill or Clear).
    void Fill(const CMenuSet& set);
    void Clear();

    // The menu a node shows, or holds as a key; -1 for the group node and null.
    int MenuOf(HTREEITEM node) const;
    // Of a link (a key leading to a menu shown elsewhere, or an entry met
    // again): the node that shows that menu in full; otherwise null.
    HTREEITEM LinkedNode(HTREEITEM node) const;
    // Where a menu is shown in full (every menu is, once), or null.
    HTREEITEM MenuNode(int menu) const;
    // Where a finding is: the node of its key, else the node of its menu.
    HTREEITEM PlaceOf(int menu, int item) const;

    HTREEITEM Selected() const;
    void Select(HTREEITEM node);

private:
    struct Node {
        int menu;    // the menu shown, or holding the key; -1 for the group
        int slot;    // the key's slot; -1 for a menu node
        int linked;  // the menu a link stands for; -1 when the node is no link
    };

    HTREEITEM AddMenu(HTREEITEM parent, int menu);
    void AddKey(HTREEITEM parent, int menu, int slot);
    HTREEITEM Insert(HTREEITEM parent, const std::string& text, const Node& node, bool bold);
    std::string MenuText(int menu) const;
    std::string KeyText(int menu, int slot, const std::string& target) const;
    const Node* NodeOf(HTREEITEM node) const;

    HWND tree_ = nullptr;
    const CMenuSet* set_ = nullptr;
    std::vector<Node> nodes_;                  // by the index each tree item holds
    std::vector<HTREEITEM> menuNodes_;         // by menu: its full node
    std::vector<std::vector<HTREEITEM>> keyNodes_;  // by menu and slot, under its full node
};
