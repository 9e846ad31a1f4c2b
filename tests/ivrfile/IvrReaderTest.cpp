// ReadIvrFile on files written by hand: the grammar's edge cases, each read both
// with CR LF and with LF line ends, and round trips through WriteIvrFile.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "app/CommonServices.h"
#include "common/ModalWatcher.h"
#include "common/TestUtil.h"
#include "config/IvrFile.h"

namespace {

struct SlotWant {
    int index;
    int action;
    const char* param;  // the text of that action
};

struct ReadCase {
    const char* what;
    std::string bytes;  // with CR LF line ends
    bool ok;
    int wait;
    const char* greeting;
    std::vector<SlotWant> slots;  // every other slot must have no action
};

const std::string HEAD = "10   hello.wav\r\n\r\n";
// Windows-1251 bytes, kept as they are.
const std::string GREETING_1251 = Ansi("привет.wav");
const std::string PARAM_1251 = Ansi("меню");

std::string WithLfOnly(std::string text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out += text[i];
    return out;
}

// Reads bytes from a file; the record is filled with garbage first to show
// that the reader clears it.
bool ReadBytes(const std::string& bytes, VoiceMenuConfig* config)
{
    TempDir dir("ivr-reader");
    std::string path = dir.File("menu.ivr");
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    memset(config, 0x5A, sizeof *config);
    return ReadIvrFile(path.c_str(), config);
}

void ExpectRecord(const VoiceMenuConfig& config, const ReadCase& c)
{
    EXPECT_EQ(config.waitSeconds, c.wait);
    EXPECT_STREQ(config.greeting, c.greeting);
    for (int i = 0; i < CONFIG_SLOT_COUNT; ++i) {
        const SlotWant* want = nullptr;
        for (const SlotWant& s : c.slots)
            if (s.index == i)
                want = &s;
        EXPECT_EQ(config.slots[i].action, want ? want->action : ACTION_NONE) << "slot " << i;
        if (want) {
            EXPECT_STREQ(config.slots[i].paramText[want->action], want->param) << "slot " << i;
        }
    }
}

void RunCases(const std::vector<ReadCase>& cases)
{
    for (const ReadCase& c : cases) {
        for (bool lfOnly : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.what << (lfOnly ? " (LF)" : " (CR LF)"));
            VoiceMenuConfig config;
            EXPECT_EQ(ReadBytes(lfOnly ? WithLfOnly(c.bytes) : c.bytes, &config), c.ok);
            if (c.ok)
                ExpectRecord(config, c);
        }
    }
}

} // namespace

TEST(IvrReader, HeaderLine)
{
    RunCases({
        {"empty file", "", true, 0, "", {}},
        {"number only", "05           \r\n\r\n", true, 5, "", {}},
        {"example header", HEAD, true, 10, "hello.wav", {}},
        {"three-digit wait", "100   hello.wav\r\n\r\n", true, 100, "hello.wav", {}},
        {"four digits: the first three", "1234  hello.wav\r\n\r\n", true, 123, "hello.wav", {}},
        {"leading blank", " 7   x.wav\r\n\r\n", true, 7, "x.wav", {}},
        {"sign", "-5   x.wav\r\n\r\n", true, -5, "x.wav", {}},
        {"no digits", "ab   x.wav\r\n\r\n", true, 0, "x.wav", {}},
        {"blanks inside the name are lost", "10   my hello.wav\r\n\r\n", true, 10, "myhello.wav", {}},
        {"name from column 5 whatever stands before", "10xyzhello.wav\r\n\r\n", true, 10, "hello.wav", {}},
        {"line of five characters", "10   \r\n\r\n", true, 10, "", {}},
        {"header alone, no line end", "10   a.wav", true, 10, "a.wav", {}},
        {"header and line 2 without end", "10   a.wav\r\n", true, 10, "a.wav", {}},
        {"line 2 is ignored", "10   a.wav\r\n0 garbage\r\n", true, 10, "a.wav", {}},
        {"1251 bytes kept", "10   " + GREETING_1251 + "\r\n\r\n", true, 10, GREETING_1251.c_str(), {}},
    });
}

TEST(IvrReader, KeyLines)
{
    RunCases({
        {"the five-line example",
         HEAD + "0    dial            100\r\n5    menu            sales\r\n-    disconnect\r\n", true, 10,
         "hello.wav", {{0, ACTION_DIAL, "100"}, {5, ACTION_MENU, "sales"}, {12, ACTION_DISCONNECT, ""}}},
        {"every key",
         HEAD + "1    menu            a\r\n*    menu            s\r\n#    dial            h\r\n"
                 "b    dial            busy\r\nt    menu            tt\r\n",
         true, 10, "hello.wav",
         {{1, ACTION_MENU, "a"}, {10, ACTION_MENU, "s"}, {11, ACTION_DIAL, "h"}, {13, ACTION_DIAL, "busy"},
          {14, ACTION_MENU, "tt"}}},
        {"no line end at the end", HEAD + "0    dial            100", true, 10, "hello.wav", {{0, ACTION_DIAL, "100"}}},
        {"blanks inside a parameter are lost", HEAD + "0    dial            12 34\r\n", true, 10, "hello.wav",
         {{0, ACTION_DIAL, "1234"}}},
        {"parameter read 16 wide", HEAD + "0    menu            12345678901234567890\r\n", true, 10, "hello.wav",
         {{0, ACTION_MENU, "1234567890123456"}}},
        {"16 columns, then blanks dropped", HEAD + "0    menu            1 2 3 4 5 6 7 8 9\r\n", true, 10,
         "hello.wav", {{0, ACTION_MENU, "12345678"}}},
        {"blanks inside the keyword are dropped", HEAD + "0    m e n u         x\r\n", true, 10, "hello.wav",
         {{0, ACTION_MENU, "x"}}},
        {"keyword anywhere in columns 5-20", HEAD + "0          dial      x\r\n", true, 10, "hello.wav",
         {{0, ACTION_DIAL, "x"}}},
        {"disconnect inside a longer word", HEAD + "0    disconnected\r\n", true, 10, "hello.wav",
         {{0, ACTION_DISCONNECT, ""}}},
        {"disconnect after other text", HEAD + "0    xxdisconnect\r\n", true, 10, "hello.wav",
         {{0, ACTION_DISCONNECT, ""}}},
        {"disconnect with a parameter", HEAD + "0    disconnect      p\r\n", true, 10, "hello.wav",
         {{0, ACTION_DISCONNECT, "p"}}},
        {"1251 parameter kept", HEAD + "0    menu            " + PARAM_1251 + "\r\n", true, 10, "hello.wav",
         {{0, ACTION_MENU, PARAM_1251.c_str()}}},
        {"a line with a zero first byte is skipped", HEAD + std::string("\0junk\r\n", 7) + "0    dial            1\r\n",
         true, 10, "hello.wav", {{0, ACTION_DIAL, "1"}}},
    });
}

TEST(IvrReader, RepeatedKeysTheLastRecognisedLineDecides)
{
    RunCases({
        {"menu then dial",
         HEAD + "0    menu            a\r\n0    dial            b\r\n", true, 10, "hello.wav",
         {{0, ACTION_DIAL, "b"}}},
        {"unknown keyword keeps the action, its parameter replaces that action's text",
         HEAD + "0    dial            100\r\n0    call            200\r\n", true, 10, "hello.wav",
         {{0, ACTION_DIAL, "200"}}},
        {"unknown keyword with an empty parameter empties the text",
         HEAD + "0    dial            100\r\n0    call\r\n", true, 10, "hello.wav", {{0, ACTION_DIAL, ""}}},
    });

    // The text of the earlier action stays with it.
    VoiceMenuConfig config;
    ASSERT_TRUE(ReadBytes(HEAD + "0    menu            a\r\n0    dial            b\r\n", &config));
    EXPECT_STREQ(config.slots[0].paramText[ACTION_MENU], "a");
}

TEST(IvrReader, FormatErrors)
{
    RunCases({
        {"capital keyword", HEAD + "0    MENU            x\r\n", false, 0, "", {}},
        {"capital initial", HEAD + "0    Menu            x\r\n", false, 0, "", {}},
        {"unknown keyword without an earlier action", HEAD + "0    call            5\r\n", false, 0, "", {}},
        {"key alone", HEAD + "0\r\n", false, 0, "", {}},
        {"unknown key character", HEAD + "x    menu            a\r\n", false, 0, "", {}},
        {"line beginning with a blank", HEAD + " 0    menu            a\r\n", false, 0, "", {}},
        {"empty line after line 2", HEAD + "\r\n0    menu            a\r\n", false, 0, "", {}},
        {"empty line at the end", HEAD + "0    menu            a\r\n\r\n", false, 0, "", {}},
        {"keyword beyond column 20", HEAD + "0                    menu\r\n", false, 0, "", {}},
        {"keyword cut by column 21", HEAD + "0               disconnect\r\n", false, 0, "", {}},
    });
}

TEST(IvrReader, FailedReadLeavesTheRecordFilledUpToTheLineThatFailed)
{
    VoiceMenuConfig config;
    EXPECT_FALSE(ReadBytes(HEAD + "0    dial            1\r\nx\r\n5    menu            m\r\n", &config));
    EXPECT_EQ(config.waitSeconds, 10);
    EXPECT_STREQ(config.greeting, "hello.wav");
    EXPECT_EQ(config.slots[0].action, ACTION_DIAL);
    EXPECT_EQ(config.slots[5].action, ACTION_NONE);
    EXPECT_STREQ(config.slots[5].paramText[ACTION_MENU], "");
}

TEST(IvrReader, LongLinesAreReadIn254CharacterPieces)
{
    auto lineOf = [](const std::string& start, size_t length) {
        std::string line = start;
        line.resize(length, ' ');
        return line;
    };
    const std::string menu = "0    menu            abc";
    RunCases({
        {"253 characters and the line end", HEAD + lineOf(menu, 253) + "\r\n", true, 10, "hello.wav",
         {{0, ACTION_MENU, "abc"}}},
        {"254 characters: the line end comes alone", HEAD + lineOf(menu, 254) + "\r\n", false, 0, "", {}},
        {"tail with a key character is a line of its own",
         HEAD + lineOf(menu, 254) + "1    dial            42\r\n", true, 10, "hello.wav",
         {{0, ACTION_MENU, "abc"}, {1, ACTION_DIAL, "42"}}},
        {"tail without a key character fails", HEAD + lineOf(menu, 254) + "xyz\r\n", false, 0, "", {}},
        {"long header: its tail is line 2",
         lineOf("10   hello.wav", 254) + "anything\r\n0    menu            a\r\n", true, 10, "hello.wav",
         {{0, ACTION_MENU, "a"}}},
    });
}

TEST(IvrReader, FileThatCannotBeOpenedIsReported)
{
    TempDir dir("ivr-missing");
    ModalWatcher watcher;
    watcher.Press(IDOK);
    watcher.Press(IDOK);
    VoiceMenuConfig config;
    memset(&config, 0x5A, sizeof config);
    EXPECT_FALSE(ReadIvrFile(dir.File("missing.ivr").c_str(), &config));
    EXPECT_FALSE(ReadIvrFile(dir.Path().c_str(), &config));  // a folder
    EXPECT_EQ(config.waitSeconds, 0);

    auto seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 2u);
    const std::string context = Ansi("Ошибка открытия файла конфигурации IVR");
    EXPECT_EQ(seen[0].text.substr(0, context.size() + 11), context + "\n" + Ansi("Ошибка: 2") + "\n");
    EXPECT_EQ(seen[1].text.substr(0, context.size() + 1), context + "\n");
    EXPECT_EQ(seen[0].caption, "Orlenta");
    EXPECT_TRUE(seen[0].hasIcon);
}

TEST(IvrRoundTrip, WrittenRecordsReadBack)
{
    TempDir dir("ivr-roundtrip");
    std::string path = dir.File("menu.ivr");

    VoiceMenuConfig original;
    memset(&original, 0, sizeof original);
    original.waitSeconds = 45;
    strcpy(original.greeting, ("D:\\sounds\\" + GREETING_1251).c_str());
    for (int i = 0; i < CONFIG_SLOT_COUNT; ++i) {
        original.slots[i].action = 1 + i % 3;
        if (original.slots[i].action != ACTION_DISCONNECT)
            snprintf(original.slots[i].paramText[original.slots[i].action], TEXT_SIZE, "p%d%s", i, Ansi("я").c_str());
    }

    ModalWatcher watcher;
    ASSERT_TRUE(WriteIvrFile(path.c_str(), &original));
    VoiceMenuConfig back;
    ASSERT_TRUE(ReadIvrFile(path.c_str(), &back));
    EXPECT_EQ(back.waitSeconds, 45);
    EXPECT_STREQ(back.greeting, GREETING_1251.c_str());  // without the folder
    for (int i = 0; i < CONFIG_SLOT_COUNT; ++i) {  // "t" included
        EXPECT_EQ(back.slots[i].action, original.slots[i].action) << i;
        EXPECT_STREQ(back.slots[i].paramText[back.slots[i].action],
                     original.slots[i].paramText[original.slots[i].action]) << i;
    }
    EXPECT_TRUE(watcher.Seen().empty());
}

TEST(IvrRoundTrip, TLineIsReadAndSavedAgainAfterTheOtherKeys)
{
    // What "t" means is the IVR system's business: each of its lines comes back as it was.
    TempDir dir("ivr-tline");
    std::string path = dir.File("menu.ivr");
    const struct {
        const char* line;
        int action;
        const char* param;
    } cases[] = {
        {"t    menu            x\r\n", ACTION_MENU, "x"},
        {"t    dial            1234567890123456\r\n", ACTION_DIAL, "1234567890123456"},
        {"t    disconnect\r\n", ACTION_DISCONNECT, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string bytes = HEAD + "0    dial            100\r\n-    disconnect\r\n" + c.line;
        ASSERT_TRUE(WriteFileBytes(path, HEAD + c.line + "0    dial            100\r\n-    disconnect\r\n"));
        VoiceMenuConfig config;
        ASSERT_TRUE(ReadIvrFile(path.c_str(), &config));
        EXPECT_EQ(config.slots[SLOT_T].action, c.action);
        EXPECT_STREQ(config.slots[SLOT_T].paramText[c.action], c.param);
        ASSERT_TRUE(WriteIvrFile(path.c_str(), &config));
        EXPECT_EQ(ReadFileBytes(path), bytes);
    }
}

TEST(IvrRoundTrip, DefaultsReadBack)
{
    TempDir dir("ivr-defaults");
    std::string path = dir.File("menu.ivr");
    VoiceMenuConfig defaults;
    SetDefaults(&defaults);
    ASSERT_TRUE(WriteIvrFile(path.c_str(), &defaults));
    VoiceMenuConfig back;
    ASSERT_TRUE(ReadIvrFile(path.c_str(), &back));
    EXPECT_EQ(memcmp(&back, &defaults, sizeof back), 0);
}
