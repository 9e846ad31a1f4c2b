// The map window driven as an operator would: a folder made by the test, the
// tree's top levels, a finding and its place in the tree, "Изменить ..." on
// Orlenta's own dialog, a rename through the window, and the program itself
// started on a folder.
#include <windows.h>
#include <mmreg.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/CommonServices.h"
#include "common/ChildProcess.h"
#include "common/DialogControls.h"
#include "common/DialogRunner.h"
#include "common/ModalWatcher.h"
#include "common/TestUtil.h"
#include "map/CMapDialog.h"
#include "common/MenuFolder.h"
#include "common/QualityGreetings.h"
#include "config/IvrFile.h"
#include "convert/CGreetingFix.h"
#include "playback/CVoiceFile.h"
#include "playback/GreetingFileAnalysis.h"
#include "res/resource.h"
#include "wave/GreetingVerdict.h"

namespace {

// main leads to sales (which leads back) and to support (whose key 3 names a
// menu that does not exist); nothing leads to orphan.
void WriteMapFolder(const std::string& dir)
{
    WriteFolder(dir, {{"hello.wav", PlayableWav()},
                      {"main.ivr", GreetedIvr({{'0', "dial", "100"}, {'1', "menu", "sales"}, {'2', "menu", "support"}})},
                      {"orphan.ivr", GreetedIvr({{'0', "dial", "300"}})},
                      {"sales.ivr", GreetedIvr({{'0', "dial", "200"}, {'9', "menu", "main"}})},
                      {"support.ivr", GreetedIvr({{'3', "menu", "missing"}})}});
}

std::string Menu(const char* name) { return name + Ansi(" — приветствие hello.wav, ожидание 10 с"); }
std::string Key(const char* label, const char* action, const char* target)
{
    return std::string(label) + ": " + Ansi(action) + (target[0] ? Ansi(" — ") + Ansi(target) : "");
}
const char MENU_ACTION[] = "Переход на другое голосовое меню";

// Visible dialogs of the UI thread other than the map, by caption.
struct Found {
    std::string caption;
    HWND hwnd;
};

BOOL CALLBACK FindByCaption(HWND hwnd, LPARAM param)
{
    Found* found = reinterpret_cast<Found*>(param);
    if (IsWindowVisible(hwnd) && WindowText(hwnd) == found->caption) {
        found->hwnd = hwnd;
        return FALSE;
    }
    return TRUE;
}

class MapWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteMapFolder(dir.Path());
        dialog.reset(new CMapDialog(g_hInstance, dir.Path()));
        ASSERT_TRUE(ui.Start(dialog.get()));
    }

    HTREEITEM Next(HTREEITEM item, UINT how)
    {
        return reinterpret_cast<HTREEITEM>(ui.Send(IDC_MAP_TREE, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
    }
    std::string NodeText(HTREEITEM item)
    {
        char text[TEXT_SIZE_FOR_TEST] = {};
        TVITEMA query = {};
        query.mask = TVIF_TEXT;
        query.hItem = item;
        query.pszText = text;
        query.cchTextMax = sizeof text;
        ui.Send(IDC_MAP_TREE, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
        return text;
    }
    // The texts of a node's children; of the top level for null.
    std::vector<std::string> Children(HTREEITEM parent)
    {
        std::vector<std::string> texts;
        for (HTREEITEM item = parent ? Next(parent, TVGN_CHILD) : Next(nullptr, TVGN_ROOT); item;
             item = Next(item, TVGN_NEXT))
            texts.push_back(NodeText(item));
        return texts;
    }
    HTREEITEM Child(HTREEITEM parent, size_t index)
    {
        HTREEITEM item = parent ? Next(parent, TVGN_CHILD) : Next(nullptr, TVGN_ROOT);
        while (item && index--)
            item = Next(item, TVGN_NEXT);
        return item;
    }
    std::string SelectedNode() { return NodeText(Next(nullptr, TVGN_CARET)); }
    void SelectNode(HTREEITEM item) { ui.Send(IDC_MAP_TREE, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)); }

    std::vector<std::string> Rows(int id)
    {
        std::vector<std::string> rows;
        for (int row = 0; row < ui.ListRows(id); ++row)
            rows.push_back(ui.ListText(id, row, 0) + "|" + ui.ListText(id, row, 1) + "|" + ui.ListText(id, row, 2));
        return rows;
    }
    int FindingRow(const std::string& menu, const std::string& item)
    {
        for (int row = 0; row < ui.ListRows(IDC_MAP_FINDINGS); ++row)
            if (ui.ListText(IDC_MAP_FINDINGS, row, 1) == menu && ui.ListText(IDC_MAP_FINDINGS, row, 2) == item)
                return row;
        return -1;
    }

    // A dialog of the UI thread with this caption, once it shows.
    HWND WaitDialog(const char* captionUtf8)
    {
        Found found = {Ansi(captionUtf8), nullptr};
        WaitFor([&] {
            EnumThreadWindows(ui.ThreadId(), FindByCaption, reinterpret_cast<LPARAM>(&found));
            return found.hwnd != nullptr;
        });
        return found.hwnd;
    }
    // A command posted as its button's click: it may open a modal dialog.
    void PostCommand(int id) { PostMessageA(ui.Hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

    static const int TEXT_SIZE_FOR_TEST = 512;
    TempDir dir{"map-window"};
    std::unique_ptr<CMapDialog> dialog;
    DialogRunner ui;  // after the dialog: ends a dialog left open before the object goes
};

TEST_F(MapWindow, ShowsTheMenusFromTheEntryThenTheUnreachable)
{
    EXPECT_EQ(WindowText(ui.Hwnd()), Ansi("Карта IVR — ") + dir.Path());
    EXPECT_EQ(ui.Text(IDC_MAP_FOLDER), dir.Path());
    EXPECT_EQ(ui.Send(IDC_MAP_ENTRY, CB_GETCOUNT), 5) << "the rule and four menus";

    EXPECT_EQ(Children(nullptr),
              (std::vector<std::string>{Menu("main.ivr"), Ansi("Меню, в которые не ведёт ни один переход из входного")}));
    HTREEITEM main = Child(nullptr, 0);
    EXPECT_EQ(Children(main), (std::vector<std::string>{Key("0", "Вызов оператора", "100"), Key("1", MENU_ACTION, "sales"),
                                                        Key("2", MENU_ACTION, "support"),
                                                        Key(Ansi("По умолчанию").c_str(), "Завершение соединения", "")}));
    // Under a key that leads to a menu not shown yet, that menu in full; a
    // menu met again is a link.
    HTREEITEM sales = Child(Child(main, 1), 0);
    EXPECT_EQ(NodeText(sales), Menu("sales.ivr"));
    EXPECT_EQ(Children(sales)[1], Key("9", MENU_ACTION, "main (показано выше)"));
    EXPECT_EQ(Children(Child(Child(main, 2), 0))[0], Key("3", MENU_ACTION, "missing (такого меню нет)"));
    EXPECT_EQ(Children(Child(nullptr, 1)), std::vector<std::string>{Menu("orphan.ivr")});
    EXPECT_EQ(SelectedNode(), Menu("main.ivr"));
    EXPECT_EQ(Rows(IDC_MAP_LEADS), std::vector<std::string>{"sales.ivr|9|"});
}

TEST_F(MapWindow, AFindingSelectsItsPlaceInTheTree)
{
    const struct {
        const char* menu;
        const char* item;  // as the list shows it, UTF-8
        std::string node;  // the tree node then selected
        std::vector<std::string> leads;
    } rows[] = {
        {"support.ivr", "клавиша 3", Key("3", MENU_ACTION, "missing (такого меню нет)"), {"main.ivr|2|"}},
        {"orphan.ivr", "", Menu("orphan.ivr"), {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.menu);
        int finding = FindingRow(row.menu, Ansi(row.item));
        ASSERT_GE(finding, 0) << "findings:\n" << Utf8(::testing::PrintToString(Rows(IDC_MAP_FINDINGS)));
        ui.SelectRow(IDC_MAP_FINDINGS, finding);
        EXPECT_EQ(SelectedNode(), row.node);
        EXPECT_EQ(Rows(IDC_MAP_LEADS), row.leads);
    }
}

TEST_F(MapWindow, EditOpensOrlentasDialogOnTheMenuThenReadsTheFolderAgain)
{
    SelectNode(Child(Child(Child(nullptr, 0), 2), 0));  // support.ivr
    ASSERT_EQ(SelectedNode(), Ansi("support.ivr — приветствие hello.wav, ожидание 10 с"));
    PostCommand(IDC_MAP_EDIT);
    HWND config = WaitDialog("Конфигуратор IVR");
    ASSERT_NE(config, nullptr);
    EXPECT_EQ(ItemText(config, IDC_IVR_FILE), dir.File("support.ivr"));
    EXPECT_FALSE(IsWindowEnabled(ui.Hwnd())) << "the map is the dialog's owner";

    // Mended while the dialog is open: the map shows the folder as it is then.
    ASSERT_TRUE(WriteFileBytes(dir.File("support.ivr"), GreetedIvr({{'3', "menu", "sales"}})));
    PostMessageA(config, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(config); }));
    ASSERT_TRUE(ui.Flush());
    EXPECT_EQ(FindingRow("support.ivr", Ansi("клавиша 3")), -1);
    EXPECT_EQ(SelectedNode(), Ansi("support.ivr — приветствие hello.wav, ожидание 10 с"));
    EXPECT_EQ(Children(Next(nullptr, TVGN_CARET))[0], Key("3", MENU_ACTION, "sales (показано выше)"));
}

TEST_F(MapWindow, RenameRewritesTheLinksAndShowsTheNewMap)
{
    SelectNode(Child(Child(Child(nullptr, 0), 1), 0));  // sales.ivr
    ui.PostKey(IDC_MAP_TREE, VK_F2);
    HWND ask = WaitDialog("Переименовать меню");
    ASSERT_NE(ask, nullptr);
    EXPECT_EQ(ItemText(ask, IDC_MAP_RENAME_NAME), "sales");
    SendDlgItemMessageA(ask, IDC_MAP_RENAME_NAME, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("shop"));
    PostMessageA(ask, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(ask); }));
    ASSERT_TRUE(ui.Flush());

    EXPECT_EQ(ListFiles(dir.Path(), "*.ivr"), (std::vector<std::string>{"main.ivr", "orphan.ivr", "shop.ivr", "support.ivr"}));
    EXPECT_NE(ReadFileBytes(dir.File("main.ivr")).find("shop"), std::string::npos);
    EXPECT_EQ(SelectedNode(), Menu("shop.ivr"));
    EXPECT_EQ(Children(Child(nullptr, 0))[1], Key("1", MENU_ACTION, "shop"));
}

TEST_F(MapWindow, AFailedRenameSaysWhichFileAndWhyAndChangesNothing)
{
    SelectNode(Child(Child(Child(nullptr, 0), 1), 0));  // sales.ivr, named by main.ivr
    std::map<std::string, std::string> before = FolderSnapshot(dir.Path());
    SetFileAttributesA(dir.File("main.ivr").c_str(), FILE_ATTRIBUTE_READONLY);
    ModalWatcher watcher;
    watcher.Press(IDOK);
    PostCommand(IDC_MAP_RENAME);
    HWND ask = WaitDialog("Переименовать меню");
    ASSERT_NE(ask, nullptr);
    SendDlgItemMessageA(ask, IDC_MAP_RENAME_NAME, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("shop"));
    PostMessageA(ask, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(watcher.WaitAllAnswered());
    SetFileAttributesA(dir.File("main.ivr").c_str(), FILE_ATTRIBUTE_NORMAL);

    ASSERT_EQ(watcher.Seen().size(), 1u);
    EXPECT_EQ(watcher.Seen()[0].text, Ansi("Меню sales.ivr не переименовано: файл [") + dir.File("main.ivr") +
                                          Ansi("] — файл только для чтения.\nНи один файл папки не изменён."));
    EXPECT_EQ(FolderSnapshot(dir.Path()), before);
    EXPECT_EQ(SelectedNode(), Menu("sales.ivr"));
}

TEST_F(MapWindow, ChooseFolderOpensTheSystemFolderDialog)
{
    PostCommand(IDC_MAP_CHOOSE_FOLDER);
    HWND folders = WaitDialog("Папка с меню IVR");
    ASSERT_NE(folders, nullptr) << "no folder dialog";
    EXPECT_FALSE(IsWindowEnabled(ui.Hwnd()));
    PostMessageA(folders, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(folders); }));
    ASSERT_TRUE(ui.Flush());
    EXPECT_EQ(ui.Text(IDC_MAP_FOLDER), dir.Path()) << "a cancelled choice keeps the folder";
}

// The selected menu's greeting: its figures on a line of their own, and
// "Улучшить ..." only for a greeting with a quality warning.
TEST_F(MapWindow, TheSelectedMenusGreetingShowsItsFigures)
{
    GreetingFigures figures = {};
    ASSERT_EQ(AnalyseGreetingFile(dir.File("hello.wav").c_str(), &figures), 0u);
    char text[512] = {};
    FormatGreetingFigures(g_hInstance, figures, text, sizeof text);
    EXPECT_EQ(SelectedNode(), Menu("main.ivr"));
    EXPECT_EQ(ui.Text(IDC_MAP_FIGURES), Ansi("Приветствие hello.wav — ") + text);
    EXPECT_FALSE(ui.Enabled(IDC_MAP_IMPROVE)) << "a sound greeting has nothing to improve";
    SelectNode(Child(nullptr, 1));  // the group of the unreachable menus
    EXPECT_EQ(ui.Text(IDC_MAP_FIGURES), "");
}

// A folder whose main.ivr is greeted by one of the quality greetings, in the
// map window.
class ImproveFolder {
public:
    void Open(const char* greeting, const char* encoding)
    {
        ASSERT_FALSE(QualityFolder().empty());
        ASSERT_TRUE(CopyFileA(QualityFile(greeting, encoding).c_str(), dir.File("greeting.wav").c_str(), FALSE));
        WriteFolder(dir.Path(), {{"main.ivr", Ivr("greeting.wav", {{'-', "disconnect", ""}})}});
        dialog.reset(new CMapDialog(g_hInstance, dir.Path()));
        ASSERT_TRUE(ui.Start(dialog.get()));
    }
    // "Улучшить ...": the save dialog as offered, with the fix's boxes as
    // they show (*shown) and then set; answers to "Прослушать" and the question.
    void Improve(bool trim, int listen, int replace, GreetingFixChoice* shown)
    {
        ModalWatcher watcher;
        watcher.Then([&](HWND save, const SeenDialog& seen) {
            caption = Utf8(seen.caption);
            HWND level = FindDescendant(save, IDC_FIX_LEVEL), trimBox = FindDescendant(save, IDC_FIX_TRIM);
            shown->level = SendMessageA(level, BM_GETCHECK, 0, 0) == BST_CHECKED;
            shown->trim = SendMessageA(trimBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
            SendMessageA(trimBox, BM_SETCHECK, trim ? BST_CHECKED : BST_UNCHECKED, 0);
            ModalWatcher::PressButton(save, IDOK);
        });
        watcher.Press(listen);
        watcher.Press(replace);
        PostMessageA(ui.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_MAP_IMPROVE, BN_CLICKED), 0);
        if (listen == IDYES)
            ListenToTheFixedFile();
        ASSERT_TRUE(watcher.WaitAllAnswered(30000));
        ASSERT_TRUE(ui.Flush());
        seen = watcher.Seen();
    }
    void ListenToTheFixedFile()
    {
        HWND player = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (player = FindWindowA("#32770", Ansi("Сообщение").c_str())) != nullptr; }));
        EXPECT_TRUE(WaitFor([&] { return ItemText(player, IDC_MESSAGE_FILE).find("greeting_fix.wav") != std::string::npos; }))
            << ItemText(player, IDC_MESSAGE_FILE);
        PostMessageA(player, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(player); }, 15000));
    }
    std::string MenuGreeting()
    {
        VoiceMenuConfig record;
        DWORD error = 0;
        EXPECT_TRUE(ReadIvrFileSilently(dir.File("main.ivr").c_str(), &record, &error)) << error;
        return record.greeting;
    }

    TempDir dir{"map-improve"};
    std::unique_ptr<CMapDialog> dialog;
    DialogRunner ui;
    std::string caption;
    std::vector<SeenDialog> seen;
};

// A quiet and a clipped greeting fixed through the window, in PCM and GSM
// 6.10, and a lead-in kept when the trim is turned off: the new file beside
// the menu in the greeting's format, re-analysed; on "Да" it becomes the
// menu's greeting and the map, read again, has nothing left to improve.
TEST(MapImprove, FixedGreetingPassesTheAnalysisAndReplacesOnYes)
{
    const struct {
        const char* greeting;
        const char* encoding;
        WORD tag;
        bool trim;
        std::vector<std::string> warnings;  // of the fixed file
    } rows[] = {
        {"quiet", "pcm", WAVE_FORMAT_PCM, true, {}},
        {"clipped", "pcm", WAVE_FORMAT_PCM, true, {}},
        {"quiet", "gsm", WAVE_FORMAT_GSM610, true, {}},
        {"clipped", "gsm", WAVE_FORMAT_GSM610, true, {}},
        {"lead", "alaw", WAVE_FORMAT_ALAW, false, {"greeting-lead-silence"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.greeting) + " " + row.encoding);
        ImproveFolder folder;
        TempDir& dir = folder.dir;
        DialogRunner& ui = folder.ui;
        ASSERT_NO_FATAL_FAILURE(folder.Open(row.greeting, row.encoding));
        const std::string original = ReadFileBytes(dir.File("greeting.wav"));
        ASSERT_TRUE(ui.Enabled(IDC_MAP_IMPROVE));
        GreetingFixChoice shown = {false, false};
        ASSERT_NO_FATAL_FAILURE(folder.Improve(row.trim, IDNO, IDYES, &shown));
        const std::vector<SeenDialog>& seen = folder.seen;
        EXPECT_EQ(folder.caption, "Сохранить улучшенное приветствие");
        EXPECT_TRUE(shown.level && shown.trim) << "both parts of the fix are on at first";
        ASSERT_EQ(seen.size(), 3u);
        EXPECT_EQ(Utf8(seen[1].text), "Улучшенное приветствие записано в файл [" + Utf8(dir.File("greeting_fix.wav")) +
                                          "]. Приветствие меню main.ivr пока прежнее.\n\nПрослушать новый файл?");
        EXPECT_EQ(Utf8(seen[2].text), "Сделать greeting_fix.wav приветствием меню main.ivr вместо greeting.wav?\n\n"
                                      "«Нет» оставит меню без изменений, а новый файл — в папке.");

        std::string fixed = dir.File("greeting_fix.wav");
        CVoiceFile check(fixed.c_str());
        ASSERT_TRUE(check.Open());
        EXPECT_EQ(check.GetHeader().formatTag, row.tag);
        check.Close();
        GreetingFigures after = {};
        ASSERT_EQ(AnalyseGreetingFile(fixed.c_str(), &after), 0u);
        printf("[ figure ] %s %s fixed: level %.2f dBov, peak %.2f dBFS, lead %.2f s, tail %.2f s\n", row.greeting,
               row.encoding, after.activeLevelDb, after.peakDb, after.leadSilenceSec, after.tailSilenceSec);
        std::vector<std::string> warnings;
        for (const GreetingWarning* warning : FindGreetingWarnings(after))
            warnings.push_back(warning->code);
        EXPECT_EQ(warnings, row.warnings);
        EXPECT_NEAR(after.activeLevelDb, GREETING_TARGET_LEVEL_DB, 1.0);

        EXPECT_EQ(ReadFileBytes(dir.File("greeting.wav")), original) << "the original is never written";
        EXPECT_EQ(folder.MenuGreeting(), "greeting_fix.wav");
        EXPECT_EQ(ui.Text(IDC_MAP_FIGURES).find(Ansi("Приветствие greeting_fix.wav — ")), 0u) << ui.Text(IDC_MAP_FIGURES);
        EXPECT_EQ(ui.Enabled(IDC_MAP_IMPROVE), !row.warnings.empty());
        EXPECT_EQ(ListFiles(dir.Path()).size(), 3u) << "no temporary is left";
    }
}

// "Прослушать" plays the new file; "Нет" to the question leaves the menu as
// it was and the new file beside it.
TEST(MapImprove, ListeningThenNoKeepsTheMenu)
{
    ImproveFolder folder;
    TempDir& dir = folder.dir;
    ASSERT_NO_FATAL_FAILURE(folder.Open("quiet", "pcm"));
    const std::string menu = ReadFileBytes(dir.File("main.ivr"));
    GreetingFixChoice shown = {false, false};
    ASSERT_NO_FATAL_FAILURE(folder.Improve(true, IDYES, IDNO, &shown));
    DialogRunner& ui = folder.ui;
    EXPECT_EQ(folder.seen.size(), 3u);
    EXPECT_EQ(ReadFileBytes(dir.File("main.ivr")), menu);
    EXPECT_TRUE(FileExists(dir.File("greeting_fix.wav").c_str()));
    EXPECT_EQ(ui.Text(IDC_MAP_FIGURES).find(Ansi("Приветствие greeting.wav — ")), 0u);
    EXPECT_TRUE(ui.Enabled(IDC_MAP_IMPROVE));
}

// The program itself, as the Start menu or a script starts it with a folder.
TEST(MapProgram, OpensTheFolderOfItsCommandLine)
{
    TempDir dir("map-program");
    WriteMapFolder(dir.Path());
    std::string program = BuiltProgramPath("OrlentaMap.exe");
    ChildProcess child(program.c_str(), "\"" + program + "\" \"" + dir.Path() + "\"");
    ASSERT_TRUE(child.Started()) << program << ": " << child.StartError();
    Found found = {Ansi("Карта IVR — ") + dir.Path(), nullptr};
    ASSERT_TRUE(WaitFor([&] {
        EnumWindows(FindByCaption, reinterpret_cast<LPARAM>(&found));
        return found.hwnd != nullptr;
    }, 20000));
    // main.ivr, sales, support, orphan with their keys and the group node.
    EXPECT_EQ(SendDlgItemMessageA(found.hwnd, IDC_MAP_TREE, TVM_GETCOUNT, 0, 0), 16);
    PostMessageA(found.hwnd, WM_CLOSE, 0, 0);
    DWORD code = 1234;
    EXPECT_TRUE(child.Wait(20000, &code));
    EXPECT_EQ(code, 0u);
}

} // namespace
