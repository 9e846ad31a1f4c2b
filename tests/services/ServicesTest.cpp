// Memory blocks, file existence, path parts, blank stripping and time texts.
#include <gtest/gtest.h>

#include <climits>
#include <string.h>

#include "app/CommonServices.h"
#include "common/TestUtil.h"

TEST(Blocks, SizeLimitsAndZeroFill)
{
    const int MAX_BLOCK = 20 * 1024 * 1024;
    unsigned char* block = static_cast<unsigned char*>(AllocBlock(MAX_BLOCK));
    ASSERT_NE(block, nullptr);
    bool allZero = true;
    for (int i = 0; i < MAX_BLOCK; i += 4093)
        allZero = allZero && block[i] == 0;
    EXPECT_TRUE(allZero && block[MAX_BLOCK - 1] == 0);
    EXPECT_TRUE(FreeBlock(block));

    EXPECT_EQ(AllocBlock(MAX_BLOCK + 1), nullptr);
    EXPECT_EQ(AllocBlock(-1), nullptr);
    EXPECT_EQ(AllocBlock(INT_MIN), nullptr);
    EXPECT_FALSE(FreeBlock(nullptr));

    void* empty = AllocBlock(0);
    if (empty) {
        EXPECT_TRUE(FreeBlock(empty));
    }
}

TEST(Files, ExistenceOfFilesFoldersAndPatterns)
{
    TempDir dir("services-exists");
    ASSERT_TRUE(WriteFileBytes(dir.File("a.ivr"), "x"));
    EXPECT_TRUE(FileExists(dir.File("a.ivr").c_str()));
    EXPECT_TRUE(FileExists(dir.Path().c_str()));
    EXPECT_TRUE(FileExists(dir.File("*.ivr").c_str()));
    EXPECT_FALSE(FileExists(dir.File("b.ivr").c_str()));
    EXPECT_FALSE(FileExists(dir.File("missing\\a.ivr").c_str()));
    EXPECT_FALSE(FileExists(""));
}

TEST(Paths, PartsOfAPath)
{
    struct Case {
        const char* path;
        const char* dir;
        const char* name;
        const char* ext;
    };
    const Case cases[] = {
        {"D:\\ivr\\menu.ivr", "D:\\ivr", "menu", "ivr"},
        {"D:\\menu.ivr", "D:", "menu", "ivr"},
        {"D:\\ivr\\hello.wav", "D:\\ivr", "hello", "wav"},
        {"hello.wav", "", "hello", "wav"},
        {"a.b.wav", "", "a.b", "wav"},
        {"archive.tar.gz", "", "archive.tar", "gz"},
        {"D:\\my.dir\\hello", "D:\\my.dir", "hello", ""},
        {"hello", "", "hello", ""},
        {"hello.", "", "hello", ""},
        {"D:\\dir\\", "D:\\dir", "", ""},
        {"D:/unix/style.wav", "", "D:/unix/style", "wav"},
        {"", "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        char out[256];
        memset(out, 'x', sizeof out);
        EXPECT_EQ(GetDirPart(c.path, out, sizeof out), out);
        EXPECT_STREQ(out, c.dir);
        memset(out, 'x', sizeof out);
        EXPECT_EQ(GetNamePart(c.path, out, sizeof out), out);
        EXPECT_STREQ(out, c.name);
        memset(out, 'x', sizeof out);
        EXPECT_EQ(GetExtPart(c.path, out, sizeof out), out);
        EXPECT_STREQ(out, c.ext);
    }
    EXPECT_EQ(GetDirPart("a\\b", nullptr, 10), nullptr);
    EXPECT_EQ(GetNamePart("a\\b", nullptr, 10), nullptr);
    EXPECT_EQ(GetExtPart("a\\b", nullptr, 10), nullptr);
}

TEST(Paths, OutIsClearedToItsSizeAndNeverOverrun)
{
    char out[16];
    memset(out, 'x', sizeof out);
    GetExtPart("a.wav", out, 12);
    EXPECT_STREQ(out, "wav");
    for (int i = 3; i < 12; ++i)
        EXPECT_EQ(out[i], 0) << i;
    EXPECT_EQ(out[12], 'x');

    memset(out, 'x', sizeof out);
    GetNamePart("C:\\a-very-long-file-name.wav", out, 8);
    EXPECT_STREQ(out, "a-very-");
    EXPECT_EQ(out[8], 'x');
}

TEST(Blanks, StripBlanks)
{
    struct Case {
        const char* text;
        bool answer;
        const char* out;  // with the answer false: out is untouched
    };
    const std::string menu = Ansi("меню x");
    const std::string menuStripped = Ansi("менюx");
    const Case cases[] = {
        {" 12 \r\n", true, "12"},
        {"a\tb", true, "a\tb"},
        {" \t ", true, "\t"},
        {"12 34", true, "1234"},
        {"\r\n 5\r", true, "5"},
        {"disconnect\r\n", true, "disconnect"},
        {menu.c_str(), true, menuStripped.c_str()},
        {"   \r\n\n", false, "untouched"},
        {"", false, "untouched"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        char out[256] = "untouched";
        EXPECT_EQ(StripBlanks(c.text, out) != FALSE, c.answer);
        EXPECT_STREQ(out, c.out);
    }

    std::string longText(300, 'z');
    char out[256] = {};
    EXPECT_TRUE(StripBlanks(longText.c_str(), out));
    EXPECT_EQ(strlen(out), 255u);
}

TEST(Time, FormatTime)
{
    struct Case {
        DWORD ms;
        const char* text;
    };
    const Case cases[] = {
        {0, "00:00:00[000] "},
        {999, "00:00:00[999] "},
        {1980, "00:00:01[980] "},
        {59999, "00:00:59[999] "},
        {3723004, "01:02:03[004] "},
        {86400000, "24:00:00[000] "},
        {359999999, "99:59:59[999] "},
        {360000000, "100:00:00[000] "},
        {0xFFFFFFFFu, "1193:02:47[295] "},
    };
    for (const Case& c : cases) {
        char out[64];
        memset(out, 'x', sizeof out);
        EXPECT_EQ(FormatTime(c.ms, out), (int)strlen(c.text)) << c.ms;
        EXPECT_STREQ(out, c.text);
    }
}
