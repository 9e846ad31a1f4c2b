#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

#include "playback/CVoiceFile.h"
#include "common/TestUtil.h"
#include "bytes/WavBytes.h"

namespace {

// Whether some handle holds the file open: an open that shares nothing fails then.
bool HeldOpen(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(h);
    return false;
}

std::string FormatName(CVoiceFile& voice)
{
    char text[64];
    memset(text, 'x', sizeof text);
    voice.GetFormatName(text);
    return text;
}

// Reads up to length bytes from where a handle stands.
std::string ReadFrom(HANDLE file, DWORD length)
{
    std::string bytes(length, '\0');
    DWORD got = 0;
    if (!ReadFile(file, &bytes[0], length, &got, nullptr))
        return std::string();
    bytes.resize(got);
    return bytes;
}

const DWORD UNTOUCHED = 12345;

} // namespace

TEST(WaveFile, AcceptsTheFourFormatsInTheirUsualAndExtraChunkLayouts)
{
    struct Row {
        const char* name;
        WORD tag;
        DWORD bytesPerSec, dataOffset, dataSize, duration;
        const char* formatName;
        const char* decoded;  // for PCM: the data itself
    } rows[] = {
        {"pcm_tone_2500ms.wav", 1, 16000, 44, 40000, 2480, "PCM", "pcm_tone_2500ms.s16le"},
        {"pcm_tone_300ms.wav", 1, 16000, 44, 4800, 280, "PCM", "pcm_tone_300ms.s16le"},
        {"alaw_tone_2500ms.wav", 6, 8000, 58, 20000, 2480, "G.711a", nullptr},
        {"ulaw_tone_2500ms.wav", 7, 8000, 58, 20000, 2480, "G.711m", nullptr},
        // Whole 40 ms units: 2.5 s of PCM or G.711 are 62.5 units, 2480 ms; the GSM
        // data are 63 blocks of 65 and sox's pad byte, 2520 ms.
        {"gsm_tone_2500ms.wav", 49, 1625, 60, 4096, 2520, "GSM 6.10", nullptr},
        {"ffmpeg_pcm_list_2500ms.wav", 1, 16000, 74, 40000, 2480, "PCM", "pcm_tone_2500ms.s16le"},
        {"ffmpeg_alaw_fact_list_2500ms.wav", 6, 8000, 88, 20000, 2480, "G.711a", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string path = FixturePath(row.name);
        std::string bytes = ReadFileBytes(path);
        ASSERT_EQ(bytes.size(), (size_t)row.dataOffset + row.dataSize) << "fixture missing or changed";

        CVoiceFile voice(path.c_str());
        ASSERT_TRUE(voice.Open());
        EXPECT_EQ(voice.GetLastErrorCode(), 0u);
        const WaveHeader& h = voice.GetHeader();
        EXPECT_EQ(h.formatTag, row.tag);
        EXPECT_EQ(h.channels, 1);
        EXPECT_EQ(h.samplesPerSec, 8000u);
        EXPECT_EQ(h.avgBytesPerSec, row.bytesPerSec);
        EXPECT_EQ(h.dataSize, row.dataSize);
        EXPECT_EQ(voice.GetDataOffset(), row.dataOffset);
        EXPECT_EQ(voice.GetDuration(), row.duration);
        EXPECT_EQ(FormatName(voice), row.formatName);
        EXPECT_TRUE(HeldOpen(path)) << "the file stays open for the reader";
        EXPECT_TRUE(voice.Close());
        EXPECT_FALSE(HeldOpen(path));
        EXPECT_EQ(voice.GetDataOffset(), 0u);
        EXPECT_TRUE(voice.Close()) << "closing again is harmless";

        DWORD tag = UNTOUCHED;
        HANDLE file = OpenWaveFile(path.c_str(), 0, &tag);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        EXPECT_EQ(tag, row.tag);
        std::string data = ReadFrom(file, row.dataSize);
        CloseHandle(file);
        EXPECT_TRUE(data == bytes.substr(row.dataOffset)) << "positioned at the first sample byte";
        if (row.decoded) {
            EXPECT_TRUE(data == ReadFileBytes(FixturePath(row.decoded))) << "the data is the sound";
        }

        file = OpenWaveFile(path.c_str(), 100, &tag);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        EXPECT_TRUE(ReadFrom(file, 64) == bytes.substr(row.dataOffset + 100, 64)) << "100 bytes into the data";
        CloseHandle(file);
        EXPECT_FALSE(HeldOpen(path));
    }
}

TEST(WaveFile, RejectsOtherFormatsAndKeepsWhatTheHeaderSays)
{
    struct Row {
        const char* name;
        WORD tag, channels;
        DWORD rate, bytesPerSec;
        const char* formatName;
    } rows[] = {
        {"reject_pcm_stereo_8000.wav", 1, 2, 8000, 32000, "PCM"},
        {"reject_pcm_mono_11025.wav", 1, 1, 11025, 22050, "PCM"},
        {"reject_pcm_stereo_44100.wav", 1, 2, 44100, 176400, "PCM"},
        {"reject_pcm8_mono_8000.wav", 1, 1, 8000, 8000, "PCM"},
        {"reject_ulaw_16000.wav", 7, 1, 16000, 16000, "G.711m"},
        {"reject_alaw_stereo_8000.wav", 6, 2, 8000, 16000, "G.711a"},
        {"reject_ima_adpcm_8000.wav", 0x11, 1, 8000, 4055, ""},
        {"reject_ms_adpcm_8000.wav", 2, 1, 8000, 4096, ""},
        {"reject_float_8000.wav", 3, 1, 8000, 32000, ""},
        {"reject_pcm24_8000.wav", 0xFFFE, 1, 8000, 24000, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string path = FixturePath(row.name);
        ASSERT_FALSE(ReadFileBytes(path).empty()) << "fixture missing";

        CVoiceFile voice(path.c_str());
        EXPECT_FALSE(voice.Open());
        EXPECT_EQ(voice.GetLastErrorCode(), VOICE_ERROR_FORMAT);
        const WaveHeader& h = voice.GetHeader();
        EXPECT_EQ(h.formatTag, row.tag);
        EXPECT_EQ(h.channels, row.channels);
        EXPECT_EQ(h.samplesPerSec, row.rate);
        EXPECT_EQ(h.avgBytesPerSec, row.bytesPerSec);
        EXPECT_EQ(h.dataSize, 0u);
        EXPECT_EQ(voice.GetDuration(), 0u);
        EXPECT_EQ(FormatName(voice), row.formatName);
        EXPECT_FALSE(HeldOpen(path)) << "a rejected file is closed";

        // The tag goes out only when it is one of the four, even if a later check fails.
        DWORD tag = UNTOUCHED;
        EXPECT_EQ(OpenWaveFile(path.c_str(), 0, &tag), INVALID_HANDLE_VALUE);
        EXPECT_EQ(tag, *row.formatName ? (DWORD)row.tag : UNTOUCHED);
        EXPECT_FALSE(HeldOpen(path));
    }
}

TEST(WaveFile, HeaderEdgeCases)
{
    TempDir dir("wavfile-edges");
    std::string pcm = ReadFileBytes(FixturePath("pcm_tone_2500ms.wav"));
    ASSERT_EQ(pcm.size(), 40044u);

    // Shorter than the 34 header bytes, even with the format fields complete:
    // zeros, rejected, no name.
    for (size_t length : {0, 16, 24, 32, 33}) {
        SCOPED_TRACE(testing::Message() << length << " bytes");
        std::string path = dir.File("short.wav");
        ASSERT_TRUE(WriteFileBytes(path, pcm.substr(0, length)));
        CVoiceFile voice(path.c_str());
        EXPECT_FALSE(voice.Open());
        EXPECT_EQ(voice.GetLastErrorCode(), VOICE_ERROR_FORMAT);
        const WaveHeader& h = voice.GetHeader();
        EXPECT_EQ(h.formatTag, 0);
        EXPECT_EQ(h.channels, 0);
        EXPECT_EQ(h.samplesPerSec, 0u);
        EXPECT_EQ(h.avgBytesPerSec, 0u);
        EXPECT_EQ(FormatName(voice), "");
        EXPECT_FALSE(HeldOpen(path));
        DWORD tag = UNTOUCHED;
        EXPECT_EQ(OpenWaveFile(path.c_str(), 0, &tag), INVALID_HANDLE_VALUE);
        EXPECT_EQ(tag, UNTOUCHED);
    }
    {   // Byte rate one above PCM's.
        std::string bytes = pcm;
        PutLe32(&bytes, 28, 16001);
        std::string path = dir.File("rate16001.wav");
        ASSERT_TRUE(WriteFileBytes(path, bytes));
        CVoiceFile voice(path.c_str());
        EXPECT_FALSE(voice.Open());
        EXPECT_EQ(voice.GetLastErrorCode(), VOICE_ERROR_FORMAT);
        EXPECT_EQ(voice.GetHeader().formatTag, 1);
        EXPECT_EQ(voice.GetHeader().avgBytesPerSec, 16001u);
        DWORD tag = UNTOUCHED;
        EXPECT_EQ(OpenWaveFile(path.c_str(), 0, &tag), INVALID_HANDLE_VALUE);
        EXPECT_EQ(tag, 1u);
    }
    {   // The extensible tag is not one of the four.
        std::string bytes = pcm;
        PutLe16(&bytes, 20, 0xFFFE);
        std::string path = dir.File("extensible.wav");
        ASSERT_TRUE(WriteFileBytes(path, bytes));
        CVoiceFile voice(path.c_str());
        EXPECT_FALSE(voice.Open());
        EXPECT_EQ(voice.GetLastErrorCode(), VOICE_ERROR_FORMAT);
        EXPECT_EQ(voice.GetHeader().formatTag, 0xFFFE);
        DWORD tag = UNTOUCHED;
        EXPECT_EQ(OpenWaveFile(path.c_str(), 0, &tag), INVALID_HANDLE_VALUE);
        EXPECT_EQ(tag, UNTOUCHED);
    }
    {   // The first 16 bytes are not looked at.
        std::string bytes = pcm;
        bytes.replace(0, 16, "not a riff file!");
        std::string path = dir.File("anyfirst16.wav");
        ASSERT_TRUE(WriteFileBytes(path, bytes));
        CVoiceFile voice(path.c_str());
        EXPECT_TRUE(voice.Open());
        EXPECT_EQ(voice.GetDataOffset(), 44u);
        EXPECT_EQ(voice.GetHeader().dataSize, 40000u);
        voice.Close();
        HANDLE file = OpenWaveFile(path.c_str(), 0, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
    }
    {   // A missing file: code 2, nothing opened.
        std::string path = dir.File("missing.wav");
        CVoiceFile voice(path.c_str());
        EXPECT_FALSE(voice.Open());
        EXPECT_EQ(voice.GetLastErrorCode(), VOICE_ERROR_MISSING);
        EXPECT_EQ(voice.GetHeader().formatTag, 0);
        DWORD tag = UNTOUCHED;
        EXPECT_EQ(OpenWaveFile(path.c_str(), 0, &tag), INVALID_HANDLE_VALUE);
        EXPECT_EQ(tag, UNTOUCHED);
    }
    {   // Held open by another program that shares nothing: the system's code.
        std::string path = dir.File("locked.wav");
        ASSERT_TRUE(WriteFileBytes(path, pcm));
        HANDLE lock = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(lock, INVALID_HANDLE_VALUE);
        CVoiceFile voice(path.c_str());
        EXPECT_FALSE(voice.Open());
        EXPECT_EQ(voice.GetLastErrorCode(), (DWORD)ERROR_SHARING_VIOLATION);
        EXPECT_EQ(OpenWaveFile(path.c_str(), 0, nullptr), INVALID_HANDLE_VALUE);
        CloseHandle(lock);
        EXPECT_TRUE(voice.Open()) << "once released it opens";
        EXPECT_TRUE(voice.Open()) << "opening again replaces the open file";
        voice.Close();
        EXPECT_FALSE(HeldOpen(path)) << "no handle was left behind";
    }
}

TEST(WaveFile, DurationCountsWhole40msUnits)
{
    TempDir dir("wavfile-duration");
    struct Row {
        WORD tag;
        DWORD dataSize, duration;
    } rows[] = {{1, 16000, 1000}, {1, 16639, 1000}, {1, 16640, 1040}, {1, 639, 0},
                {49, 1625, 1000}, {49, 1624, 960}, {6, 8000, 1000}, {7, 319, 0}, {7, 320, 40}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "tag " << row.tag << ", " << row.dataSize << " bytes");
        std::string fmt = row.tag == 49 ? GsmFmt() : row.tag == 1 ? PcmFmt() : G711Fmt(row.tag);
        std::string chunks = row.tag == 1 ? "" : Chunk("fact", Le32(row.dataSize));
        std::string path = dir.File("d.wav");
        ASSERT_TRUE(WriteFileBytes(path, Wav(fmt, chunks + Chunk("data", std::string(row.dataSize, '\x55')))));
        CVoiceFile voice(path.c_str());
        ASSERT_TRUE(voice.Open());
        EXPECT_EQ(voice.GetHeader().dataSize, row.dataSize);
        EXPECT_EQ(voice.GetDuration(), row.duration);
    }
}

namespace {

struct Malformed {
    const char* name;
    std::string bytes;
    bool accepted;
    DWORD dataOffset;  // when accepted
    DWORD dataSize;
    DWORD bytesPer40ms = 640;
};

struct Outcome {
    bool done = false;
    bool opened = false;
    DWORD error = 0, dataOffset = 0, dataSize = 0, duration = 0;
    bool heldWhileOpen = false, heldAfter = true, waveFileOpened = false, waveFileMatches = false;
    size_t fileSize = 0;
};

struct Batch {
    std::vector<Malformed>* cases;
    std::vector<Outcome>* outcomes;
    std::string dir;
};

// Opens every file on a thread of its own, so that a reader that loops is
// caught by the caller's deadline instead of hanging the test.
DWORD WINAPI OpenAll(void* param)
{
    Batch* b = static_cast<Batch*>(param);
    for (size_t i = 0; i < b->cases->size(); ++i) {
        const Malformed& m = (*b->cases)[i];
        Outcome& o = (*b->outcomes)[i];
        std::string path = b->dir + "\\case" + std::to_string(i) + ".wav";
        if (!WriteFileBytes(path, m.bytes))
            continue;
        o.fileSize = m.bytes.size();
        CVoiceFile voice(path.c_str());
        o.opened = voice.Open();
        o.error = voice.GetLastErrorCode();
        o.dataOffset = voice.GetDataOffset();
        o.dataSize = voice.GetHeader().dataSize;
        o.duration = voice.GetDuration();
        o.heldWhileOpen = HeldOpen(path);
        voice.Close();
        o.heldAfter = HeldOpen(path);
        HANDLE file = OpenWaveFile(path.c_str(), 0, nullptr);
        o.waveFileOpened = file != INVALID_HANDLE_VALUE;
        if (o.waveFileOpened) {
            std::string data = ReadFrom(file, 64);
            o.waveFileMatches = data == m.bytes.substr(o.dataOffset, 64);
            CloseHandle(file);
        }
        o.done = true;
    }
    return 0;
}

} // namespace

TEST(WaveFile, MalformedAndTruncatedHeadersAreRejectedOrReadSafely)
{
    const std::string pcmFmt = PcmFmt();
    const std::string head = Wav(pcmFmt, "");  // RIFF, WAVE and the fmt chunk: 36 bytes
    const std::string sound(3200, '\x11');
    std::string manyEmpty;
    for (int i = 0; i < 100; ++i)
        manyEmpty += Chunk("JUNK", "");
    std::string endlessEmpty;
    for (int i = 0; i < 5000; ++i)
        endlessEmpty += Chunk("JUNK", "");
    std::string hugeFmt = Wav(pcmFmt, Chunk("data", sound));
    PutLe32(&hugeFmt, 16, 0xFFFFFFFF);
    std::string zeroFmt = Wav(pcmFmt, Chunk("data", sound));
    PutLe32(&zeroFmt, 16, 0);
    std::string cue = Le32(1) + std::string(24, '\0');

    std::vector<Malformed> cases = {
        {"zero-length file", "", false, 0, 0},
        {"RIFF header only", head.substr(0, 12), false, 0, 0},
        {"fmt chunk and nothing after it", head, false, 0, 0},
        {"chunk header cut short", head + "LIS", false, 0, 0},
        {"data header cut short", head + "data" + std::string("\x10\x00", 2), false, 0, 0},
        {"no data chunk", Wav(pcmFmt, Chunk("LIST", std::string(20, 'i')) + Chunk("JUNK", std::string(64, '\0'))),
         false, 0, 0},
        {"DATA in capitals is another chunk", Wav(pcmFmt, Chunk("DATA", sound)), false, 0, 0},
        {"chunk size past the end", Wav(pcmFmt, RawChunk("LIST", 0xFFFFFFF0, "abcd") + Chunk("data", sound)),
         false, 0, 0},
        {"chunk size 0xFFFFFFFF", Wav(pcmFmt, RawChunk("JUNK", 0xFFFFFFFF, "") + Chunk("data", sound)), false, 0, 0},
        {"fact size past the end", Wav(G711Fmt(6), RawChunk("fact", 0x7FFFFFF0, Le32(3200)) + Chunk("data", sound)),
         false, 0, 0},
        {"fmt size past the end", hugeFmt, false, 0, 0},
        {"5000 empty chunks before the data", Wav(pcmFmt, endlessEmpty + Chunk("data", sound)), false, 0, 0},
        {"data size beyond the end", Wav(pcmFmt, RawChunk("data", 0xFFFFFFF0, sound)), true, 44, 3200},
        {"data size a little beyond the end", Wav(pcmFmt, RawChunk("data", 3201, sound)), true, 44, 3200},
        {"empty data chunk", Wav(pcmFmt, Chunk("data", "")), true, 44, 0},
        {"odd chunk and its pad byte", Wav(pcmFmt, Chunk("LIST", "abc") + Chunk("data", sound)), true, 56, 3200},
        {"odd fmt body and its pad byte", Wav(pcmFmt + "\x07", Chunk("data", sound)), true, 46, 3200},
        {"cue, LIST, padding and fact in any order",
         Wav(pcmFmt, Chunk("cue ", cue) + Chunk("LIST", "INFOa") + Chunk("PAD ", std::string(7, '\0')) +
                         Chunk("fact", Le32(1600)) + Chunk("JUNK", "") + Chunk("data", sound)),
         true, 36 + 36 + 14 + 16 + 12 + 8 + 8, 3200},
        {"100 empty chunks before the data", Wav(pcmFmt, manyEmpty + Chunk("data", sound)), true, 844, 3200},
        {"fact followed by another chunk", Wav(G711Fmt(7), Chunk("fact", Le32(3200)) + Chunk("LIST", "INFO") +
                                                              Chunk("data", sound)),
         true, 38 + 12 + 12 + 8, 3200, 320},
        {"chunk after the data is not data", Wav(pcmFmt, Chunk("data", sound) + Chunk("LIST", "INFOISFT")), true, 44,
         3200},
        {"fmt size 0", zeroFmt, false, 0, 0},
    };

    TempDir dir("wavfile-malformed");
    std::vector<Outcome> outcomes(cases.size());
    Batch batch = {&cases, &outcomes, dir.Path()};
    HANDLE thread = CreateThread(nullptr, 0, OpenAll, &batch, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    DWORD waited = WaitForSingleObject(thread, 60000);
    CloseHandle(thread);
    ASSERT_EQ(waited, WAIT_OBJECT_0) << "reading a malformed header did not end";

    for (size_t i = 0; i < cases.size(); ++i) {
        const Malformed& m = cases[i];
        const Outcome& o = outcomes[i];
        SCOPED_TRACE(m.name);
        ASSERT_TRUE(o.done);
        EXPECT_EQ(o.opened, m.accepted);
        EXPECT_EQ(o.waveFileOpened, m.accepted) << "both readers agree";
        EXPECT_FALSE(o.heldAfter) << "nothing is left open";
        if (o.opened) {
            EXPECT_EQ(o.error, 0u);
            EXPECT_EQ(o.dataOffset, m.dataOffset);
            EXPECT_EQ(o.dataSize, m.dataSize);
            EXPECT_LE((size_t)o.dataOffset + o.dataSize, o.fileSize) << "the data lies inside the file";
            EXPECT_EQ(o.duration, o.dataSize / m.bytesPer40ms * 40);
            EXPECT_TRUE(o.heldWhileOpen);
            EXPECT_TRUE(o.waveFileMatches) << "OpenWaveFile stands at the same first sample byte";
        } else {
            EXPECT_FALSE(o.heldWhileOpen);
            EXPECT_NE(o.error, 0u);
            if (m.bytes.size() >= 34) {
                EXPECT_NE(o.error, VOICE_ERROR_FORMAT) << "the format itself is accepted";
            }
        }
    }
    // The walk reports a file that ends before its data chunk as such.
    EXPECT_EQ(outcomes[2].error, (DWORD)ERROR_HANDLE_EOF);
    EXPECT_EQ(outcomes[5].error, (DWORD)ERROR_HANDLE_EOF);
    EXPECT_EQ(outcomes[7].error, (DWORD)ERROR_HANDLE_EOF);
}

TEST(WaveFile, KeepsAtMost255CharactersOfTheName)
{
    std::string longName(300, 'a');
    CVoiceFile voice(longName.c_str());
    EXPECT_EQ(std::string(voice.GetFileName()), longName.substr(0, 255));
    EXPECT_EQ(voice.GetLastErrorCode(), 0u);
    EXPECT_EQ(voice.GetDuration(), 0u);
    char text[64];
    voice.GetFormatName(text);
    EXPECT_STREQ(text, "");
}
