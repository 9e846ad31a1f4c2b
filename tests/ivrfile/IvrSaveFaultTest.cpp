// Saves that cannot succeed: each must keep the old file byte for byte, leave
// no temporary behind, report the failure and answer false.
#include <gtest/gtest.h>

#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "app/CommonServices.h"
#include "common/ShellScript.h"
#include "common/ChildProcess.h"
#include "common/ModalWatcher.h"
#include "common/TestUtil.h"
#include "config/IvrFile.h"

namespace {

const char OLD_CONTENT[] = "07   old.wav\r\n\r\n1    menu            keep\r\n";

VoiceMenuConfig NewConfig()
{
    VoiceMenuConfig config;
    SetDefaults(&config);
    strcpy(config.greeting, "new.wav");
    config.slots[0].action = ACTION_DIAL;
    strcpy(config.slots[0].paramText[ACTION_DIAL], std::string(IVR_PARAM_CHARS, '9').c_str());
    return config;
}

// The one report the failed save showed, after its context line.
void ExpectOneReport(const ModalWatcher& watcher, const char* contextUtf8)
{
    auto seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 1u);
    const std::string context = Ansi(contextUtf8) + "\n" + Ansi("Ошибка: ");
    EXPECT_EQ(seen[0].text.substr(0, context.size()), context) << Utf8(seen[0].text);
    EXPECT_NE(seen[0].text.substr(context.size(), 1), "0");
    EXPECT_EQ(seen[0].caption, "Orlenta");
    EXPECT_TRUE(seen[0].hasIcon);
    EXPECT_EQ(seen[0].buttons.size(), 1u);
}

const char CREATE_CONTEXT[] = "Ошибка при создании конфигурационного файла";
const char REPLACE_CONTEXT[] = "Ошибка при перезаписи конфигурационного файла";

// Runs a Unix program (Wine starts one given by its path) and waits until
// done() holds: Wine hands out no process handle for it.
bool RunUnix(const char* program, const std::string& commandLine, const std::function<bool()>& done)
{
    ChildProcess tool(program, commandLine);
    return tool.Started() && WaitFor(done);
}

bool Listed(const std::string& path)
{
    std::string folder = path.substr(0, path.rfind('\\'));
    std::string name = path.substr(path.rfind('\\') + 1);
    for (const std::string& n : ListFiles(folder))
        if (n == name)
            return true;
    return false;
}

// A symbolic link made and removed with the Unix tools: Wine creates no links,
// and it deletes no link that leads to a device.
class UnixSymlink {
public:
    UnixSymlink(const char* target, const std::string& path) : path_(path)
    {
        made_ = RunUnix("Z:\\bin\\ln", std::string("/bin/ln -s ") + target + " " + UnixPath(path),
                        [this] { return Listed(path_); });
    }
    ~UnixSymlink()
    {
        RunUnix("Z:\\bin\\rm", "/bin/rm -f " + UnixPath(path_), [this] { return !Listed(path_); });
    }
    bool Made() const { return made_; }

private:
    std::string path_;
    bool made_ = false;
};

} // namespace

TEST(IvrSaveFaults, TargetFolderMissing)
{
    TempDir dir("ivr-nofolder");
    std::string path = dir.File("missing\\menu.ivr");
    VoiceMenuConfig config = NewConfig();
    ModalWatcher watcher;
    watcher.Press(IDOK);
    EXPECT_FALSE(WriteIvrFile(path.c_str(), &config));
    ExpectOneReport(watcher, CREATE_CONTEXT);
    EXPECT_TRUE(ListFiles(dir.Path()).empty());
}

TEST(IvrSaveFaults, FolderStandingAtTheTargetName)
{
    TempDir dir("ivr-dirtarget");
    std::string path = dir.File("menu.ivr");
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(path + "\\inside.txt", OLD_CONTENT));
    VoiceMenuConfig config = NewConfig();
    ModalWatcher watcher;
    watcher.Press(IDOK);
    EXPECT_FALSE(WriteIvrFile(path.c_str(), &config));
    ExpectOneReport(watcher, REPLACE_CONTEXT);
    EXPECT_EQ(ListFiles(dir.Path()), std::vector<std::string>{"menu.ivr"});
    EXPECT_EQ(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY, (DWORD)FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(ReadFileBytes(path + "\\inside.txt"), OLD_CONTENT);
}

TEST(IvrSaveFaults, TargetHeldOpenWithoutSharing)
{
    TempDir dir("ivr-locked");
    std::string path = dir.File("menu.ivr");
    ASSERT_TRUE(WriteFileBytes(path, OLD_CONTENT));
    HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    VoiceMenuConfig config = NewConfig();
    ModalWatcher watcher;
    watcher.Press(IDOK);
    EXPECT_FALSE(WriteIvrFile(path.c_str(), &config));
    CloseHandle(holder);
    ExpectOneReport(watcher, REPLACE_CONTEXT);
    EXPECT_EQ(ReadFileBytes(path), OLD_CONTENT);
    EXPECT_EQ(ListFiles(dir.Path()), std::vector<std::string>{"menu.ivr"});
}

TEST(IvrSaveFaults, ReadOnlyTarget)
{
    TempDir dir("ivr-readonly");
    std::string path = dir.File("menu.ivr");
    ASSERT_TRUE(WriteFileBytes(path, OLD_CONTENT));
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    VoiceMenuConfig config = NewConfig();
    ModalWatcher watcher;
    watcher.Press(IDOK);
    EXPECT_FALSE(WriteIvrFile(path.c_str(), &config));
    ExpectOneReport(watcher, REPLACE_CONTEXT);
    EXPECT_EQ(ReadFileBytes(path), OLD_CONTENT);
    EXPECT_NE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(ListFiles(dir.Path()), std::vector<std::string>{"menu.ivr"});
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(IvrSaveFaults, DiskFillsUpDuringTheWrite)
{
    TempDir dir("ivr-diskfull");
    std::string path = dir.File("menu.ivr");
    std::string temp = dir.File("full.tmp");
    ASSERT_TRUE(WriteFileBytes(path, OLD_CONTENT));
    UnixSymlink full("/dev/full", temp);
    ASSERT_TRUE(full.Made());
    VoiceMenuConfig config = NewConfig();
    ModalWatcher watcher;
    watcher.Press(IDOK);
    EXPECT_FALSE(WriteIvrFileThrough(path.c_str(), temp.c_str(), &config));
    ExpectOneReport(watcher, CREATE_CONTEXT);
    EXPECT_EQ(ReadFileBytes(path), OLD_CONTENT);
    // The link itself stays: Wine refuses to delete a link to a device.
}

TEST(IvrSaveFaults, EmptyNameIsRefused)
{
    VoiceMenuConfig config = NewConfig();
    ModalWatcher watcher;
    watcher.Press(IDOK);
    EXPECT_FALSE(WriteIvrFile("", &config));
    ExpectOneReport(watcher, CREATE_CONTEXT);
}
