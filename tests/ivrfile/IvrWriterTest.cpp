// What WriteIvrFile puts into the file, byte for byte, and on the debug channel.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "app/CommonServices.h"
#include "common/ModalWatcher.h"
#include "common/TestUtil.h"
#include "config/IvrFile.h"

namespace {

// A monitor of the system-wide debug-string channel (the DBWIN protocol that
// debug viewers use): collects what this process sends while it lives.
class DebugCapture {
public:
    DebugCapture()
    {
        InitializeCriticalSection(&lock_);
        mutex_ = CreateMutexA(nullptr, FALSE, "DBWinMutex");
        bufferReady_ = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_BUFFER_READY");
        dataReady_ = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY");
        mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, "DBWIN_BUFFER");
        view_ = static_cast<const char*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 4096));
        thread_ = CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr);
    }
    ~DebugCapture()
    {
        InterlockedExchange(&stop_, 1);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        UnmapViewOfFile(view_);
        CloseHandle(mapping_);
        CloseHandle(dataReady_);
        CloseHandle(bufferReady_);
        CloseHandle(mutex_);
        DeleteCriticalSection(&lock_);
    }
    bool Ready() const { return view_ != nullptr; }
    std::vector<std::string> Texts() const
    {
        EnterCriticalSection(&lock_);
        std::vector<std::string> copy = texts_;
        LeaveCriticalSection(&lock_);
        return copy;
    }

private:
    static DWORD WINAPI ThreadProc(void* self)
    {
        static_cast<DebugCapture*>(self)->Run();
        return 0;
    }
    void Run()
    {
        while (!stop_) {
            SetEvent(bufferReady_);
            if (WaitForSingleObject(dataReady_, 50) != WAIT_OBJECT_0)
                continue;
            DWORD pid = *reinterpret_cast<const DWORD*>(view_);
            std::string text(view_ + sizeof(DWORD), strnlen(view_ + sizeof(DWORD), 4096 - sizeof(DWORD)));
            if (pid == GetCurrentProcessId()) {
                EnterCriticalSection(&lock_);
                texts_.push_back(text);
                LeaveCriticalSection(&lock_);
            }
        }
    }

    mutable CRITICAL_SECTION lock_;
    HANDLE mutex_, bufferReady_, dataReady_, mapping_, thread_;
    const char* view_;
    std::vector<std::string> texts_;
    volatile LONG stop_ = 0;
};

struct Slot {
    int index;
    int action;
    const char* param;
};

VoiceMenuConfig Make(int wait, const char* greeting, std::initializer_list<Slot> slots)
{
    VoiceMenuConfig config;
    memset(&config, 0, sizeof config);
    config.waitSeconds = wait;
    strcpy(config.greeting, greeting);
    for (const Slot& s : slots) {
        config.slots[s.index].action = s.action;
        if (s.action >= 0 && s.action < CONFIG_ACTION_TEXTS)
            strcpy(config.slots[s.index].paramText[s.action], s.param);
    }
    return config;
}

std::string Written(const VoiceMenuConfig& config)
{
    TempDir dir("ivr-writer");
    std::string path = dir.File("menu.ivr");
    EXPECT_TRUE(WriteIvrFile(path.c_str(), &config));
    return ReadFileBytes(path);
}

} // namespace

TEST(IvrWriter, TheFiveLineExample)
{
    VoiceMenuConfig config = Make(10, "C:\\sounds\\hello.wav",
                                  {{0, ACTION_DIAL, "100"}, {5, ACTION_MENU, "sales"}, {12, ACTION_DISCONNECT, ""}});
    EXPECT_EQ(Written(config),
              "10   hello.wav\r\n"
              "\r\n"
              "0    dial            100\r\n"
              "5    menu            sales\r\n"
              "-    disconnect\r\n");
}

TEST(IvrWriter, HeaderForms)
{
    struct Case {
        int wait;
        const char* greeting;
        const char* header;
    };
    const std::string greeting1251 = Ansi("привет.wav");
    const std::string header1251 = "03   " + greeting1251 + "\r\n\r\n";
    const Case cases[] = {
        {10, "hello.wav", "10   hello.wav\r\n\r\n"},
        {5, "D:\\ivr\\greet.wav", "05   greet.wav\r\n\r\n"},
        {0, "", "00           \r\n\r\n"},
        {7, "D:\\my.dir\\hello", "07   hello.\r\n\r\n"},         // no extension: the full stop stays
        {100, "a.b.wav", "100   a.b.wav\r\n\r\n"},
        {60, "D:\\ivr\\.wav", "60           \r\n\r\n"},         // empty name part: no greeting
        {3, greeting1251.c_str(), header1251.c_str()},  // bytes as they are
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.greeting);
        EXPECT_EQ(Written(Make(c.wait, c.greeting, {})), c.header);
    }
}

TEST(IvrWriter, SlotLinesInSlotOrderWithFixedColumns)
{
    VoiceMenuConfig config = Make(10, "", {
        {13, ACTION_DIAL, "busy"},
        {11, ACTION_MENU, "hash"},
        {10, ACTION_DISCONNECT, "ignored"},
        {9, ACTION_MENU, "12-34"},
        {2, ACTION_DIAL, "1234567890123456"},               // the whole 16-character field
        {1, 7, "unknown code"},                             // no line
        {14, ACTION_MENU, "t-menu"},                        // slot "t" comes last, like any key
    });
    strcpy(config.slots[2].paramText[ACTION_MENU], "other action's text");
    EXPECT_EQ(Written(config),
              "10           \r\n"
              "\r\n"
              "2    dial            1234567890123456\r\n"
              "9    menu            12-34\r\n"
              "*    disconnect\r\n"
              "#    menu            hash\r\n"
              "b    dial            busy\r\n"
              "t    menu            t-menu\r\n");
}

TEST(IvrWriter, DefaultsAndEmptyParameters)
{
    VoiceMenuConfig config;
    memset(&config, 0xCC, sizeof config);
    SetDefaults(&config);
    EXPECT_EQ(Written(config), "10           \r\n\r\n-    disconnect\r\n");

    VoiceMenuConfig empty = Make(10, "", {{0, ACTION_MENU, ""}});
    EXPECT_EQ(Written(empty), "10           \r\n\r\n0    menu            \r\n");
}

TEST(IvrWriter, EveryLineGoesToTheDebugChannel)
{
    DebugCapture capture;
    ASSERT_TRUE(capture.Ready());
    VoiceMenuConfig config = Make(10, "hello.wav", {{0, ACTION_DIAL, "100"}, {12, ACTION_DISCONNECT, ""}});
    TempDir dir("ivr-debug");
    ASSERT_TRUE(WriteIvrFile(dir.File("menu.ivr").c_str(), &config));

    const std::vector<std::string> expected = {"10   hello.wav\n\n", "0    dial            100\n",
                                               "-    disconnect\n"};
    EXPECT_TRUE(WaitFor([&] { return capture.Texts().size() >= expected.size(); }, 5000));
    EXPECT_EQ(capture.Texts(), expected);
}

TEST(IvrWriter, SavingReplacesTheOldFileAndLeavesNothingElse)
{
    TempDir dir("ivr-replace");
    std::string path = dir.File("menu.ivr");
    ASSERT_TRUE(WriteFileBytes(path, std::string(5000, 'o')));
    VoiceMenuConfig config = Make(20, "x.wav", {{3, ACTION_MENU, "m"}});
    ModalWatcher watcher;
    ASSERT_TRUE(WriteIvrFile(path.c_str(), &config));
    EXPECT_EQ(ReadFileBytes(path), "20   x.wav\r\n\r\n3    menu            m\r\n");
    EXPECT_TRUE(watcher.Seen().empty());

    EXPECT_EQ(ListFiles(dir.Path()), std::vector<std::string>{"menu.ivr"});
}

TEST(IvrWriter, ReaderThatSharesEverythingNeverCostsTheContent)
{
    // A reader holding the old file with full sharing: a delete-then-create
    // save would "succeed" and lose the new file when that reader closes.
    // Windows lets the rename replace the file; Wine refuses it, and then the
    // save must be reported and the old file kept.
    TempDir dir("ivr-shared");
    std::string path = dir.File("menu.ivr");
    ASSERT_TRUE(WriteFileBytes(path, "old"));
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    VoiceMenuConfig config = Make(10, "", {});
    ModalWatcher watcher;
    watcher.Press(IDOK);
    bool saved = WriteIvrFile(path.c_str(), &config);
    CloseHandle(reader);
    auto seen = watcher.Seen();
    if (saved) {
        EXPECT_EQ(ReadFileBytes(path), "10           \r\n\r\n");
        EXPECT_TRUE(seen.empty());
    } else {
        EXPECT_EQ(ReadFileBytes(path), "old");
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].text.find(Ansi("Ошибка при перезаписи конфигурационного файла")), 0u);
    }
}
