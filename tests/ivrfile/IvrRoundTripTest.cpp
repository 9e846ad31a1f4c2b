// Every record is either refused by WriteIvrFile with its reason, the old file
// kept, or written and read back equal field for field: at and around each limit
// of the reader (16-character parameter field, no blanks, 254-character lines,
// three characters of wait time).
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "app/CommonServices.h"
#include "common/ModalWatcher.h"
#include "common/TestUtil.h"
#include "config/IvrFile.h"

namespace {

const char OLD_CONTENT[] = "07   old.wav\r\n\r\n1    menu            keep\r\n";

struct Case {
    const char* what;
    int wait;
    std::string greeting;
    int slot;
    int action;
    std::string param;
    const char* reasonUtf8;  // null: written and read back
};

std::string Name(int length) { return std::string(length - 4, 'g') + ".wav"; }

// What the operator is told, spelled out here independently of the string table.
std::string Refusal(const std::string& path, const std::string& reason)
{
    return Ansi("Конфигурация не записана в файл [") + path + "]: " + reason +
           Ansi(".\nФайл конфигурации IVR не сохранил бы её без изменений. Прежний файл не изменён.");
}

void ExpectReadBackEqual(const VoiceMenuConfig& written, const VoiceMenuConfig& read)
{
    char name[TEXT_SIZE];
    char ext[TEXT_SIZE];
    GetNamePart(written.greeting, name, sizeof name);
    GetExtPart(written.greeting, ext, sizeof ext);
    EXPECT_EQ(std::string(read.greeting), name[0] ? std::string(name) + "." + ext : "");
    EXPECT_EQ(read.waitSeconds, written.waitSeconds);
    for (int i = 0; i < CONFIG_SLOT_COUNT; ++i) {
        const CommandSlot& w = written.slots[i];
        const CommandSlot& r = read.slots[i];
        EXPECT_EQ(r.action, w.action) << "slot " << i;
        if (w.action == ACTION_MENU || w.action == ACTION_DIAL) {
            EXPECT_STREQ(r.paramText[r.action], w.paramText[w.action]) << "slot " << i;
        }
    }
}

} // namespace

TEST(IvrRoundTrip, EachRecordIsRefusedOrReadsBackAsWritten)
{
    const std::string dept = Ansi("Приветствие отдела.wav");
    const std::string cyrillic16 = Ansi("добавочный123456");
    const Case cases[] = {
        {"parameter of 16", 10, "hello.wav", 0, ACTION_DIAL, "1234567890123456", nullptr},
        {"parameter of 16, 1251", 10, "hello.wav", 5, ACTION_MENU, cyrillic16, nullptr},
        {"parameter of 17", 10, "hello.wav", 0, ACTION_DIAL, "12345678901234567", "параметр команды «0» длиннее 16 символов"},
        {"dial text of 240", 10, "hello.wav", 11, ACTION_DIAL, std::string(240, '9'), "параметр команды «#» длиннее 16 символов"},
        {"parameter with a blank", 10, "", 12, ACTION_MENU, "sales menu", "в параметре команды «По умолчанию» есть пробел"},
        {"parameter ending in a blank", 10, "", 13, ACTION_DIAL, "100 ", "в параметре команды «Абонент занят» есть пробел"},
        {"empty parameter", 10, "", 3, ACTION_MENU, "", nullptr},
        {"disconnect ignores its text", 10, "", 4, ACTION_DISCONNECT, "", nullptr},
        {"parameter of 16 for t", 10, "", SLOT_T, ACTION_MENU, "1234567890123456", nullptr},
        {"parameter of 17 for t", 10, "", SLOT_T, ACTION_DIAL, "12345678901234567", "параметр команды «t» длиннее 16 символов"},
        {"parameter with a blank for t", 10, "", SLOT_T, ACTION_MENU, "t menu", "в параметре команды «t» есть пробел"},
        {"blank in the greeting's name", 10, "D:\\sounds\\" + dept, 0, ACTION_NONE, "", "в имени файла приветствия есть пробел"},
        {"blank in the greeting's extension", 10, "hello.w av", 0, ACTION_NONE, "", "в имени файла приветствия есть пробел"},
        {"blank in the greeting's folder only", 10, "D:\\my sounds\\hello.wav", 0, ACTION_NONE, "", nullptr},
        {"greeting of 248, wait 10", 10, Name(248), 0, ACTION_NONE, "", nullptr},
        {"greeting of 249, wait 10", 10, Name(249), 0, ACTION_NONE, "", "имя файла приветствия длиннее 248 символов"},
        {"greeting of 248, wait 0", 0, "D:\\" + Name(248), 0, ACTION_NONE, "", nullptr},
        {"greeting of 249, wait 60", 60, Name(249), 0, ACTION_NONE, "", "имя файла приветствия длиннее 248 символов"},
        {"greeting of 247, wait 100", 100, Name(247), 0, ACTION_NONE, "", nullptr},
        {"greeting of 248, wait 100", 100, Name(248), 0, ACTION_NONE, "", "имя файла приветствия длиннее 247 символов"},
        {"wait 999", 999, "hello.wav", 0, ACTION_NONE, "", nullptr},
        {"wait 1000", 1000, "hello.wav", 0, ACTION_NONE, "", "время ожидания 1000 не умещается в три знака"},
    };
    TempDir dir("ivr-roundtrip");
    const std::string path = dir.File("menu.ivr");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VoiceMenuConfig config;
        SetDefaults(&config);
        config.waitSeconds = c.wait;
        lstrcpynA(config.greeting, c.greeting.c_str(), sizeof config.greeting);
        config.slots[c.slot].action = c.action;
        lstrcpynA(config.slots[c.slot].paramText[c.action], c.param.c_str(), TEXT_SIZE);
        ASSERT_TRUE(WriteFileBytes(path, OLD_CONTENT));

        ModalWatcher watcher;
        if (c.reasonUtf8)
            watcher.Press(IDOK);
        bool written = WriteIvrFile(path.c_str(), &config);
        auto seen = watcher.Seen();
        if (c.reasonUtf8) {
            EXPECT_FALSE(written);
            EXPECT_EQ(ReadFileBytes(path), OLD_CONTENT);
            ASSERT_EQ(seen.size(), 1u);
            EXPECT_EQ(seen[0].text, Refusal(path, Ansi(c.reasonUtf8))) << Utf8(seen[0].text);
            EXPECT_TRUE(seen[0].hasIcon);
            continue;
        }
        EXPECT_TRUE(written);
        EXPECT_TRUE(seen.empty()) << Utf8(seen.empty() ? "" : seen[0].text);
        VoiceMenuConfig back;
        ASSERT_TRUE(ReadIvrFile(path.c_str(), &back)) << ReadFileBytes(path);
        ExpectReadBackEqual(config, back);
    }
}
