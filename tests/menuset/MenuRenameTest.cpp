// Renaming a menu rewrites every link to it, or changes nothing at all.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "common/TestUtil.h"
#include "menuset/CMenuRename.h"
#include "menuset/CMenuSet.h"
#include "common/MenuFolder.h"

namespace {

// sales.ivr is named by three menus, in both forms; zz.ivr comes last, so a
// fault there finds the others already written.
void WriteSalesFolder(const std::string& dir)
{
    WriteFolder(dir, {{"hello.wav", PlayableWav()},
                      {"main.ivr", GreetedIvr({{'1', "menu", "sales"}, {'2', "menu", "SALES.ivr"}})},
                      {"other.ivr", GreetedIvr({{'3', "menu", "Sales"}})},
                      {"sales.ivr", GreetedIvr({{'0', "dial", "100"}})},
                      {"zz.ivr", GreetedIvr({{'9', "menu", "sales"}})}});
}

std::string Param(const CMenuSet& set, const char* menu, int slot)
{
    const MenuInfo& info = set.Menus()[set.FindMenu(menu)];
    return info.record->slots[slot].paramText[info.record->slots[slot].action];
}

TEST(MenuRename, RewritesEveryLinkKeepingItsForm)
{
    TempDir dir("rename-ok");
    WriteSalesFolder(dir.Path());
    CMenuSet set;
    DWORD error = 0;
    ASSERT_TRUE(set.Load(dir.Path(), &error));
    CMenuRename rename(set);
    ASSERT_TRUE(rename.Rename(set.FindMenu("sales"), "shop")) << rename.FailedFile() << ": " << rename.Reason();

    EXPECT_EQ(ListFiles(dir.Path()),
              (std::vector<std::string>{"hello.wav", "main.ivr", "other.ivr", "shop.ivr", "zz.ivr"}));
    CMenuSet after;
    ASSERT_TRUE(after.Load(dir.Path(), &error));
    EXPECT_EQ(Param(after, "main", 1), "shop");
    EXPECT_EQ(Param(after, "main", 2), "shop.ivr");
    EXPECT_EQ(Param(after, "other", 3), "shop");
    EXPECT_EQ(Param(after, "zz", 9), "shop");
    EXPECT_EQ(Param(after, "shop", 0), "100");
    for (const MenuFinding& finding : after.Findings())
        EXPECT_NE(finding.code, FINDING_TARGET_MISSING) << after.Menus()[finding.menu].name;
}

// Each fault leaves every file byte for byte as it was, and no temporary.
TEST(MenuRename, AllOrNothing)
{
    struct Row {
        const char* name;
        std::function<void(const TempDir&)> fault;  // made after the folder is read
        const char* newName;
        const char* failedFile;
        const char* reason;  // UTF-8, or null when the system's text
    };
    HANDLE holder = INVALID_HANDLE_VALUE;
    const Row rows[] = {
        {"ReadOnlyLinkingMenu",
         [](const TempDir& dir) { SetFileAttributesA(dir.File("zz.ivr").c_str(), FILE_ATTRIBUTE_READONLY); },
         "shop", "zz.ivr", "файл только для чтения"},
        {"ReadOnlyRenamedMenu",
         [](const TempDir& dir) { SetFileAttributesA(dir.File("sales.ivr").c_str(), FILE_ATTRIBUTE_READONLY); },
         "shop", "sales.ivr", "файл только для чтения"},
        {"LinkingMenuHeldOpen",
         [&holder](const TempDir& dir) {
             holder = CreateFileA(dir.File("zz.ivr").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
         },
         "shop", "zz.ivr", nullptr},
        {"NameTaken", [](const TempDir&) {}, "OTHER", "OTHER.ivr", "файл OTHER.ivr уже есть в папке"},
        {"NameTooLongForTheParameterField", [](const TempDir&) {}, "a-very-long-menu-name", "main.ivr", nullptr},
        {"NameWithABlank", [](const TempDir&) {}, "new shop", "sales.ivr", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir(row.name);
        WriteSalesFolder(dir.Path());
        CMenuSet set;
        DWORD error = 0;
        ASSERT_TRUE(set.Load(dir.Path(), &error));
        std::map<std::string, std::string> before = FolderSnapshot(dir.Path());
        row.fault(dir);

        CMenuRename rename(set);
        EXPECT_FALSE(rename.Rename(set.FindMenu("sales"), row.newName));
        if (holder != INVALID_HANDLE_VALUE)
            CloseHandle(holder);
        holder = INVALID_HANDLE_VALUE;

        EXPECT_EQ(rename.FailedFile(), dir.File(row.failedFile));
        if (row.reason) {
            EXPECT_EQ(Utf8(rename.Reason()), row.reason);
        }
        EXPECT_FALSE(rename.Reason().empty());
        EXPECT_EQ(FolderSnapshot(dir.Path()), before) << "a file changed, came or went";
        for (const char* name : {"sales.ivr", "zz.ivr"})
            SetFileAttributesA(dir.File(name).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

} // namespace
