#include <gtest/gtest.h>

#include <algorithm>
#include <string.h>
#include <string>
#include <vector>

#include "playback/CAcmConvert.h"
#include "common/G711Reference.h"
#include "common/TestUtil.h"

namespace {

std::vector<short> Samples(const std::vector<BYTE>& pcm, DWORD bytes)
{
    std::vector<short> s(bytes / 2);
    memcpy(s.data(), pcm.data(), s.size() * 2);
    return s;
}

// One converter with its output block, as the reader thread uses it.
struct Converter {
    CAcmConvert acm;
    std::vector<BYTE> output;

    bool Open(WORD tag)
    {
        if (!acm.SetFormats(tag, WAVE_FORMAT_PCM, 8000))
            return false;
        output.assign(acm.GetDestLength(), 0);
        return true;
    }
    // Converts; answers the bytes produced, or -1 on failure.
    int Run(const void* input, DWORD length)
    {
        ConvertBlock block = {output.data(), (DWORD)output.size(), static_cast<const BYTE*>(input), length};
        if (!acm.Convert(&block))
            return -1;
        return (int)block.outputLength;
    }
    ~Converter() { EXPECT_TRUE(acm.Close()); }
};

} // namespace

TEST(AcmConvert, SetsUpEveryAcceptedFormatForOneSecond)
{
    struct Row {
        WORD tag;
        DWORD sourceLength;
    } rows[] = {{1, 16000}, {6, 8000}, {7, 8000}, {49, 1625}};
    for (const Row& row : rows) {
        CAcmConvert acm;
        ASSERT_TRUE(acm.SetFormats(row.tag, 1, 8000)) << "tag " << row.tag;
        EXPECT_EQ(acm.GetSourceLength(), row.sourceLength) << "tag " << row.tag;
        EXPECT_EQ(acm.GetDestLength(), 16000u) << "tag " << row.tag;
        EXPECT_TRUE(acm.Close());
        EXPECT_TRUE(acm.Close()) << "a second close finds nothing to close";
    }
}

TEST(AcmConvert, RefusesOtherTagsBeforeOpeningAStream)
{
    for (WORD tag : {0, 2, 3, 0x11, 0x55, 0xFFFE}) {
        CAcmConvert acm;
        EXPECT_FALSE(acm.SetFormats(tag, 1, 8000)) << "tag " << tag;
        EXPECT_EQ(acm.GetDestLength(), 0u) << "no stream was sized for tag " << tag;
        BYTE out[16] = {}, in[2] = {};
        ConvertBlock block = {out, sizeof out, in, sizeof in};
        EXPECT_FALSE(acm.Convert(&block)) << "nothing to convert with";
        EXPECT_TRUE(acm.Close());
    }
    CAcmConvert toAlaw;
    EXPECT_FALSE(toAlaw.SetFormats(1, 2, 8000)) << "destination tag 2";
    EXPECT_EQ(toAlaw.GetDestLength(), 0u);

    CAcmConvert never;
    EXPECT_TRUE(never.Close()) << "closing a converter that never opened";
}

TEST(AcmConvert, PcmPassesThroughUnchanged)
{
    std::string wav = FixtureBytes("pcm_tone_2500ms.wav");
    ASSERT_GE(wav.size(), 44u + 16000u);
    Converter c;
    ASSERT_TRUE(c.Open(1));
    ASSERT_EQ(c.Run(wav.data() + 44, 16000), 16000);
    EXPECT_EQ(0, memcmp(c.output.data(), wav.data() + 44, 16000));
}

TEST(AcmConvert, G711DecodesEveryCodeToTheItuValue)
{
    std::vector<BYTE> codes(256);
    for (int i = 0; i < 256; ++i)
        codes[i] = (BYTE)i;

    for (WORD tag : {6, 7}) {
        Converter c;
        ASSERT_TRUE(c.Open(tag)) << "tag " << tag;
        ASSERT_EQ(c.Run(codes.data(), 256), 512) << "tag " << tag;
        std::vector<short> got = Samples(c.output, 512);
        for (int i = 0; i < 256; ++i) {
            short want = tag == 6 ? AlawToLinear((BYTE)i) : UlawToLinear((BYTE)i);
            EXPECT_EQ(got[i], want) << "tag " << tag << " code 0x" << std::hex << i;
        }
    }
    // A few values as published with the standard.
    EXPECT_EQ(AlawToLinear(0xD5), 8);
    EXPECT_EQ(AlawToLinear(0x55), -8);
    EXPECT_EQ(AlawToLinear(0xAA), 32256);
    EXPECT_EQ(AlawToLinear(0x80), 5504);
    EXPECT_EQ(UlawToLinear(0xFF), 0);
    EXPECT_EQ(UlawToLinear(0x80), 32124);
    EXPECT_EQ(UlawToLinear(0x00), -32124);
    EXPECT_EQ(UlawToLinear(0xD5), 716);
}

TEST(AcmConvert, G711OneSecondOfAFileMatchesSox)
{
    struct Row {
        WORD tag;
        const char* wav;
        const char* decoded;
    } rows[] = {{6, "alaw_tone_2500ms.wav", "alaw_tone_2500ms.s16le"},
                {7, "ulaw_tone_2500ms.wav", "ulaw_tone_2500ms.s16le"}};
    for (const Row& row : rows) {
        std::string wav = FixtureBytes(row.wav), ref = FixtureBytes(row.decoded);
        ASSERT_GE(wav.size(), 58u + 20000u);
        ASSERT_EQ(ref.size(), 40000u);
        Converter c;
        ASSERT_TRUE(c.Open(row.tag));
        std::string all;
        for (DWORD at = 0; at < 20000; at += 8000) {
            DWORD n = std::min<DWORD>(8000, 20000 - at);
            int produced = c.Run(wav.data() + 58 + at, n);
            ASSERT_EQ(produced, (int)(2 * n)) << row.wav;
            all.append(reinterpret_cast<const char*>(c.output.data()), produced);
        }
        EXPECT_TRUE(all == ref) << row.wav;
    }
}

// sox and Wine's codec both use libgsm; ffmpeg decodes GSM 6.10 with its own
// code, so agreement with it means something.
TEST(AcmConvert, GsmMatchesFfmpegsOwnDecoder)
{
    std::string wav = FixtureBytes("gsm_tone_2500ms.wav"), ref = FixtureBytes("gsm_tone_2500ms.s16le");
    const DWORD dataOffset = 60, dataSize = 4096;  // 63 blocks of 65 and a pad byte
    ASSERT_EQ(wav.size(), dataOffset + dataSize);
    ASSERT_EQ(ref.size(), 63u * 640u);

    Converter c;
    ASSERT_TRUE(c.Open(49));
    std::string all;
    std::vector<int> sizes;
    for (DWORD at = 0; at < dataSize; at += 1625) {
        DWORD n = std::min<DWORD>(1625, dataSize - at);
        int produced = c.Run(wav.data() + dataOffset + at, n);
        ASSERT_GE(produced, 0);
        sizes.push_back(produced);
        all.append(reinterpret_cast<const char*>(c.output.data()), produced);
    }
    // 1625, 1625 and 846 bytes: 25, 25 and 13 whole blocks; the pad byte is dropped.
    EXPECT_EQ(sizes, (std::vector<int>{16000, 16000, 8320}));
    ASSERT_EQ(all.size(), ref.size());
    size_t firstDiff = std::mismatch(all.begin(), all.end(), ref.begin()).first - all.begin();
    EXPECT_TRUE(all == ref) << "first different byte at " << firstDiff;
}

TEST(AcmConvert, GsmDropsThePartialBlockAtTheEnd)
{
    std::string wav = FixtureBytes("gsm_tone_2500ms.wav"), ref = FixtureBytes("gsm_tone_2500ms.s16le");
    ASSERT_GE(wav.size(), 60u + 1000u);
    Converter c;
    ASSERT_TRUE(c.Open(49));
    ASSERT_EQ(c.Run(wav.data() + 60, 1000), 9600) << "15 whole blocks of 65, 25 bytes left over";
    ASSERT_GE(ref.size(), 9600u);
    EXPECT_EQ(0, memcmp(c.output.data(), ref.data(), 9600));
    for (size_t i = 9600; i < c.output.size(); ++i)
        ASSERT_EQ(c.output[i], 0) << "byte " << i;
}

TEST(AcmConvert, AShorterBlockLeavesSilenceBehindItsOutput)
{
    std::string wav = FixtureBytes("alaw_tone_2500ms.wav");
    ASSERT_GE(wav.size(), 58u + 8000u);
    Converter c;
    ASSERT_TRUE(c.Open(6));
    ASSERT_EQ(c.Run(wav.data() + 58, 8000), 16000);
    ASSERT_EQ(c.Run(wav.data() + 58 + 100, 150), 300);
    for (size_t i = 300; i < 16000; ++i)
        ASSERT_EQ(c.output[i], 0) << "byte " << i;
    ASSERT_EQ(c.Run(wav.data() + 58, 0), 0) << "an empty block produces nothing";
    for (size_t i = 0; i < 16000; ++i)
        ASSERT_EQ(c.output[i], 0) << "byte " << i;

    Converter gsm;
    std::string g = FixtureBytes("gsm_tone_2500ms.wav");
    ASSERT_TRUE(gsm.Open(49));
    ASSERT_EQ(gsm.Run(g.data() + 60, 1625), 16000);
    ASSERT_EQ(gsm.Run(g.data() + 60 + 1625, 130), 1280);
    for (size_t i = 1280; i < 16000; ++i)
        ASSERT_EQ(gsm.output[i], 0) << "byte " << i;
}

TEST(AcmConvert, RefusesABlockLongerThanOneSecond)
{
    std::vector<BYTE> input(8001, 0xD5);
    Converter c;
    ASSERT_TRUE(c.Open(6));
    EXPECT_EQ(c.Run(input.data(), 8001), -1);
    EXPECT_EQ(c.Run(input.data(), 8000), 16000) << "the converter still works";
}

TEST(AcmConvert, CanBeSetUpAgainAfterClose)
{
    CAcmConvert acm;
    ASSERT_TRUE(acm.SetFormats(49, 1, 8000));
    ASSERT_TRUE(acm.Close());
    ASSERT_TRUE(acm.SetFormats(7, 1, 8000));
    EXPECT_EQ(acm.GetSourceLength(), 8000u);
    std::vector<BYTE> out(acm.GetDestLength()), in(8000, 0xFF);
    ConvertBlock block = {out.data(), (DWORD)out.size(), in.data(), 8000};
    EXPECT_TRUE(acm.Convert(&block));
    EXPECT_EQ(block.outputLength, 16000u);
    // A second set-up without Close replaces the first stream.
    ASSERT_TRUE(acm.SetFormats(6, 1, 8000));
    EXPECT_TRUE(acm.Close());
    ConvertBlock after = {out.data(), (DWORD)out.size(), in.data(), 10};
    EXPECT_FALSE(acm.Convert(&after)) << "no stream after Close";
}
