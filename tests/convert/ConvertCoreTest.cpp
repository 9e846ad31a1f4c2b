#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "playback/CAcmConvert.h"
#include "convert/CGreetingConverter.h"
#include "playback/CVoiceFile.h"
#include "common/G711Reference.h"
#include "bytes/FileBytes.h"
#include "common/SelfRelaunch.h"
#include "common/TestUtil.h"
#include "bytes/WavBytes.h"
#include "convert/ConvertFiles.h"
#include "common/SignalMeasure.h"

namespace {

const WORD TARGET_TAGS[] = {WAVE_FORMAT_PCM, WAVE_FORMAT_ALAW, WAVE_FORMAT_MULAW, WAVE_FORMAT_GSM610};
const int SAMPLES_PER_STEP = 160;  // 20 ms at 8000 Hz

// What the player makes of a converted file: its format check, then its own
// decoder (CAcmConvert, one second at a time) over the whole data.
struct Played {
    bool accepted = false;
    WORD tag = 0;
    DWORD dataOffset = 0;
    std::vector<short> pcm;
    std::vector<BYTE> coded;
};

Played Play(const std::string& path)
{
    Played played;
    CVoiceFile voice(path.c_str());
    played.accepted = voice.Open();
    if (!played.accepted)
        return played;
    played.tag = voice.GetHeader().formatTag;
    DWORD offset = voice.GetDataOffset();
    played.dataOffset = offset;
    DWORD size = voice.GetHeader().dataSize;
    voice.Close();
    std::string bytes = ReadFileBytes(path);
    if (bytes.size() < (size_t)offset + size)
        return played;
    played.coded.assign(bytes.begin() + offset, bytes.begin() + offset + size);

    CAcmConvert acm;
    if (!acm.SetFormats(played.tag, WAVE_FORMAT_PCM, 8000))
        return played;
    std::vector<BYTE> out(acm.GetDestLength());
    for (DWORD at = 0; at < size; at += acm.GetSourceLength()) {
        DWORD n = size - at < acm.GetSourceLength() ? size - at : acm.GetSourceLength();
        ConvertBlock block = {out.data(), (DWORD)out.size(), played.coded.data() + at, n};
        if (!acm.Convert(&block))
            break;
        const short* s = reinterpret_cast<const short*>(out.data());
        played.pcm.insert(played.pcm.end(), s, s + block.outputLength / 2);
    }
    acm.Close();
    return played;
}

DWORD Convert(const std::string& source, const std::string& target, WORD tag,
              const std::atomic<bool>* cancel = nullptr)
{
    CGreetingConverter converter;
    return converter.Convert(source.c_str(), target.c_str(), tag, cancel, nullptr);
}

DWORD Le32At(const std::string& bytes, size_t at)
{
    DWORD value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | (BYTE)bytes[at + i];
    return value;
}

// Where the body of the first chunk of this id starts, as sox and ffmpeg write
// the files (no id inside a body before it).
size_t ChunkAt(const std::string& wav, const char* id)
{
    size_t at = wav.find(id, 12);
    return at == std::string::npos ? at : at + 8;
}

std::string ChunkBody(const std::string& wav, const char* id)
{
    size_t at = ChunkAt(wav, id);
    return at == std::string::npos ? "" : wav.substr(at, Le32At(wav, at - 4));
}

} // namespace

// Every input kind into every output: the program's own check accepts the
// result, its decoder plays all of it, and the length is the input's to
// within one 20 ms step: for ADPCM, GSM and MPEG the length its fact chunk
// states (ffmpeg counts the MPEG encoder's delay and padding in it).
TEST(GreetingConverter, EveryKindIntoEveryFormat)
{
    struct Row {
        const char* file;
        double seconds;
        bool optional;  // decoded only where a codec is installed
    } rows[] = {
        {"conv_u8_22050_1.wav", 2.5, false},      {"conv_s16_44100_2.wav", 2.5, false},
        {"conv_s24_48000_2.wav", 2.5, false},     {"conv_s32_96000_1.wav", 2.5, false},
        {"conv_f32_44100_2.wav", 2.5, false},     {"conv_f64_16000_1.wav", 2.5, false},
        {"conv_s16_48000_6.wav", 2.5, false},     {"conv_alaw_22050_1.wav", 2.5, false},
        {"conv_ulaw_11025_2.wav", 2.5, false},    {"conv_ima_8000_1.wav", 2.5, false},
        {"conv_msadpcm_22050_1.wav", 2.5, false}, {"conv_gsm_8000_1.wav", 2.5, false},
        {"conv_mp3_44100_2.wav", 2.5251, true},   {"conv_u8_11025_1_long.wav", 660, false},
    };
    TempDir dir("convert_kinds");
    for (const Row& row : rows) {
        std::string source = FixturePath(row.file);
        if (CGreetingConverter::Probe(source.c_str()) != 0) {
            EXPECT_TRUE(row.optional) << row.file << " is not decodable";
            printf("[ note ] %s: no codec installed, not converted\n", row.file);
            continue;
        }
        for (WORD tag : TARGET_TAGS) {
            std::string target = dir.File("out.wav");
            ASSERT_EQ(Convert(source, target, tag), 0u) << row.file << " to tag " << tag;
            Played played = Play(target);
            ASSERT_TRUE(played.accepted) << row.file << " to tag " << tag;
            EXPECT_EQ(played.tag, tag) << row.file;
            // The layouts sox writes: fmt 16 for PCM, 18 and a fact chunk for G.711, 20 and fact for GSM.
            EXPECT_EQ(played.dataOffset, tag == WAVE_FORMAT_PCM ? 44u : tag == WAVE_FORMAT_GSM610 ? 60u : 58u);
            long want = (long)(row.seconds * 8000 + 0.5);
            EXPECT_NEAR((long)played.pcm.size(), want, SAMPLES_PER_STEP) << row.file << " to tag " << tag;
        }
    }
}

// Band energies of Russian speech against sox's own conversion; the level of
// a 1 kHz tone; the alias of a 6 kHz tone above the new Nyquist limit.
TEST(GreetingConverterQuality, SpeechBandsMatchSox)
{
    TempDir dir("convert_speech");
    for (const char* name : {"conv_speech_44100_s16", "conv_speech_48000_s24"}) {
        std::string target = dir.File("speech.wav");
        ASSERT_EQ(Convert(FixturePath((std::string(name) + ".wav").c_str()), target, WAVE_FORMAT_PCM), 0u);
        std::vector<short> ours = Play(target).pcm;
        std::vector<short> sox = SamplesOf(ReadFileBytes(FixturePath((std::string(name) + ".ref.s16le").c_str())));
        ASSERT_FALSE(sox.empty());
        EXPECT_NEAR((double)ours.size(), (double)sox.size(), SAMPLES_PER_STEP) << name;
        printf("[ figure ] %s: %zu samples, sox %zu; sample for sample %.1f dB SNR against sox\n", name,
               ours.size(), sox.size(), SnrDb(sox, ours));
        for (double low = 500; low < 3500; low += 500) {
            double diff = BandEnergyDb(ours, low, low + 500) - BandEnergyDb(sox, low, low + 500);
            printf("[ figure ] %s band %.0f-%.0f Hz: %+.3f dB against sox\n", name, low, low + 500, diff);
            EXPECT_NEAR(diff, 0.0, 1.0) << name << " band " << low;
        }
    }
}

TEST(GreetingConverterQuality, ToneKeepsItsLevelAndAliasIsGone)
{
    TempDir dir("convert_tones");
    std::string target = dir.File("tone.wav");
    ASSERT_EQ(Convert(FixturePath("conv_tone1k_44100.wav"), target, WAVE_FORMAT_PCM), 0u);
    double level = ToneLevelDb(Play(target).pcm, 1000);
    const double input = 20 * log10(0.5);  // sox wrote it at half scale
    printf("[ figure ] 1 kHz tone: %.3f dBFS in, %.3f dBFS out\n", input, level);
    EXPECT_NEAR(level, input, 0.5);

    ASSERT_EQ(Convert(FixturePath("conv_tone6k_44100.wav"), target, WAVE_FORMAT_PCM), 0u);
    double alias = ToneLevelDb(Play(target).pcm, 2000);
    printf("[ figure ] 6 kHz tone at 44.1 kHz: its 2 kHz alias %.1f dB under the 1 kHz tone\n", level - alias);
    EXPECT_GE(level - alias, 60.0);
}

TEST(GreetingConverterQuality, DecodingOnlyMatchesFfmpeg)
{
    TempDir dir("convert_ima");
    std::string target = dir.File("ima.wav");
    ASSERT_EQ(Convert(FixturePath("conv_ima_8000_1.wav"), target, WAVE_FORMAT_PCM), 0u);
    std::vector<short> ffmpeg = SamplesOf(FixtureBytes("conv_ima_8000_1.s16le"));
    double snr = SnrDb(ffmpeg, Play(target).pcm);
    printf("[ figure ] IMA ADPCM decoded against ffmpeg: SNR %.1f dB\n", snr);
    EXPECT_GE(snr, 40.0);
}

// A-law and µ-law decode (ITU) to within their quantisation of the PCM
// output; the GSM output decodes (Wine's decoder is bit-exact with ffmpeg's)
// as well as what sox's encoder and ffmpeg's decoder make of the same PCM.
TEST(GreetingConverterQuality, EncodersMatchIndependentReferences)
{
    TempDir dir("convert_coders");
    std::string source = FixturePath("conv_speech_8000.wav");
    ASSERT_EQ(Convert(source, dir.File("pcm.wav"), WAVE_FORMAT_PCM), 0u);
    std::vector<short> pcm = Play(dir.File("pcm.wav")).pcm;
    ASSERT_FALSE(pcm.empty());

    struct Row {
        WORD tag;
        short (*decode)(BYTE);
    } rows[] = {{WAVE_FORMAT_ALAW, AlawToLinear}, {WAVE_FORMAT_MULAW, UlawToLinear}};
    for (const Row& row : rows) {
        ASSERT_EQ(Convert(source, dir.File("g711.wav"), row.tag), 0u);
        Played played = Play(dir.File("g711.wav"));
        ASSERT_EQ(played.coded.size(), pcm.size()) << "tag " << row.tag;
        int worst = 0;
        for (size_t i = 0; i < pcm.size(); ++i) {
            int error = abs(row.decode(played.coded[i]) - pcm[i]);
            // Half the widest step of the segment holding the sample.
            int allowed = 16 + abs(pcm[i]) / 16;
            if (error > allowed)
                ADD_FAILURE() << "tag " << row.tag << " sample " << i << ": " << pcm[i] << " decodes to "
                              << row.decode(played.coded[i]);
            worst = error > worst ? error : worst;
            if (HasFailure())
                break;
        }
        printf("[ figure ] tag %u: largest G.711 error %d\n", row.tag, worst);
    }

    ASSERT_EQ(Convert(source, dir.File("gsm.wav"), WAVE_FORMAT_GSM610), 0u);
    double ours = SnrDb(pcm, Play(dir.File("gsm.wav")).pcm);
    double reference = SnrDb(pcm, SamplesOf(FixtureBytes("conv_speech_8000.gsm.s16le")));
    printf("[ figure ] GSM 6.10: SNR %.2f dB, sox and ffmpeg %.2f dB\n", ours, reference);
    EXPECT_GE(ours, reference - 1.0);
}

// Headers no tool writes: each is refused with an error, nothing crashes,
// hangs or reads past the end, and no output is left.
TEST(GreetingConverterRobustness, HostileHeadersAreRefused)
{
    std::string pcm = PcmFmt();
    std::string extensibleShort = PcmFmt();
    PutLe16(&extensibleShort, 0, WAVE_FORMAT_EXTENSIBLE);
    std::string noChannels = PcmFmt();
    PutLe16(&noChannels, 2, 0);
    std::string noAlign = PcmFmt();
    PutLe16(&noAlign, 12, 0);
    std::string unknownTag = PcmFmt();
    PutLe16(&unknownTag, 0, 0x7777);
    std::string samples(64, '\x10');
    struct Row {
        const char* what;
        std::string bytes;
    } rows[] = {
        {"shorter than a header", "RIFF\x10\0\0\0WAVE"},
        {"fmt body stated beyond the end", Wav(pcm, Chunk("data", samples)).substr(0, 36)},
        {"fmt body of 8 bytes", Wav(pcm.substr(0, 8), Chunk("data", samples))},
        {"no channels", Wav(noChannels, Chunk("data", samples))},
        {"block align 0", Wav(noAlign, Chunk("data", samples))},
        {"extensible without its extra bytes", Wav(extensibleShort, Chunk("data", samples))},
        {"a tag no codec knows", Wav(unknownTag, Chunk("data", samples))},
        {"no data chunk", Wav(pcm, Chunk("LIST", samples))},
        {"a chunk stated as 4 GB", Wav(pcm, RawChunk("junk", 0xFFFFFFF0u, samples))},
    };
    TempDir dir("convert_hostile");
    for (const Row& row : rows) {
        std::string source = dir.File("hostile.wav");
        ASSERT_TRUE(WriteFileBytes(source, row.bytes));
        EXPECT_NE(CGreetingConverter::Probe(source.c_str()), 0u) << row.what;
        EXPECT_NE(Convert(source, dir.File("out.wav"), WAVE_FORMAT_PCM), 0u) << row.what;
        EXPECT_EQ(ListFiles(dir.Path()).size(), 1u) << row.what << ": something was left behind";
    }
}

TEST(GreetingConverterRobustness, MoreThanFourGigabytesOfDataIsRefused)
{
    TempDir dir("convert_huge");
    std::string source = dir.File("huge.wav");
    if (!WriteSparseWav(source, PcmFmt(), 0xFFFFFFFFu, 0x120000000ULL))  // 4.5 GB
        GTEST_SKIP() << "this file system cannot hold a 4.5 GB file";
    EXPECT_EQ(Convert(source, dir.File("out.wav"), WAVE_FORMAT_PCM), (DWORD)ERROR_FILE_TOO_LARGE);
    EXPECT_EQ(ListFiles(dir.Path()).size(), 1u);
}

// A read-only target, a target a reader holds open, and a conversion cancelled
// in its last steps, once the new file is complete: the old file stays as it
// was and no temporary is left.
TEST(GreetingConverterRobustness, FailuresLeaveTheOldTargetIntact)
{
    TempDir dir("convert_faults");
    std::string source = FixturePath("conv_s16_44100_2.wav");
    std::string target = dir.File("greeting.wav");
    const std::string old = "old greeting";

    ASSERT_TRUE(WriteFileBytes(target, old));
    // One converter for all: what a failure leaves must go at once, not with it.
    CGreetingConverter converter;
    auto Convert = [&](const std::string& from, const std::string& to, WORD tag,
                       const std::atomic<bool>* cancel = nullptr,
                       const std::function<void(int)>& progress = nullptr) {
        return converter.Convert(from.c_str(), to.c_str(), tag, cancel, progress);
    };
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(Convert(source, target, WAVE_FORMAT_PCM), (DWORD)ERROR_ACCESS_DENIED);
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadFileBytes(target), old);
    EXPECT_EQ(ListFiles(dir.Path()).size(), 1u);

    {
        // Shared for reading, as the player and every other reader open it.
        HANDLE reader = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(reader, INVALID_HANDLE_VALUE);
        DWORD code = Convert(source, target, WAVE_FORMAT_ALAW);
        CloseHandle(reader);
        EXPECT_NE(code, 0u) << "a target a reader holds open was replaced";
    }
    EXPECT_EQ(ReadFileBytes(target), old);
    EXPECT_EQ(ListFiles(dir.Path()).size(), 1u);

    // "Отмена" pressed when the whole source has been read and the file is
    // complete: the drain, padding and flush behind it must not replace the target.
    std::atomic<bool> cancel(false);
    int heardLast = 0;
    auto cancelAtTheEnd = [&](int permille) {
        if (permille >= 1000) {
            ++heardLast;
            cancel.store(true);
        }
    };
    EXPECT_EQ(Convert(source, target, WAVE_FORMAT_GSM610, &cancel, cancelAtTheEnd), (DWORD)ERROR_CANCELLED);
    EXPECT_EQ(heardLast, 1);
    EXPECT_TRUE(ReadFileBytes(target) == old) << "the old target was replaced after the cancel";
    EXPECT_EQ(ListFiles(dir.Path()).size(), 1u);
}

// A result larger than a WAV file holds is refused before anything is
// written, when the source's length tells it: 3.75 GB of 8-bit samples at
// 8000 Hz make 7.5 GB of 16-bit PCM. The source is stored sparse.
TEST(GreetingConverterRobustness, ResultOverFourGigabytesIsRefusedBeforeWriting)
{
    TempDir dir("convert_huge_out");
    std::string source = dir.File("long.wav");
    const DWORD dataSize = 0xF0000000u;
    std::string fmt = Le16(WAVE_FORMAT_PCM) + Le16(1) + Le32(8000) + Le32(8000) + Le16(1) + Le16(8);
    if (!WriteSparseWav(source, fmt, dataSize, 44ULL + dataSize))
        GTEST_SKIP() << "this file system cannot hold a 3.75 GB file";
    CGreetingConverter converter;
    std::atomic<bool> cancel(false);
    bool written = false;
    auto stopAtOnce = [&](int) {
        written = true;
        cancel.store(true);
    };
    EXPECT_EQ(converter.Convert(source.c_str(), dir.File("out.wav").c_str(), WAVE_FORMAT_PCM, &cancel, stopAtOnce),
              (DWORD)ERROR_FILE_TOO_LARGE);
    EXPECT_FALSE(written) << "the conversion began";
    EXPECT_EQ(ListFiles(dir.Path()).size(), 1u);
    // The same source fits as A-law: 3.75 GB.
    cancel.store(false);
    written = false;
    EXPECT_EQ(converter.Convert(source.c_str(), dir.File("out.wav").c_str(), WAVE_FORMAT_ALAW, &cancel, stopAtOnce),
              (DWORD)ERROR_CANCELLED);
    EXPECT_TRUE(written);
}

// A process that ends in the middle of a conversion (ended from outside, or a
// codec's fault) leaves no temporary beside the target.
TEST(GreetingConverterRobustness, TemporaryGoesWithTheProcess)
{
    const char marker[] = "ORLENTA_CONVERT_KILLED_CHILD";
    const char folderVariable[] = "ORLENTA_CONVERT_KILLED_FOLDER";
    if (IsRelaunched(marker)) {
        std::string folder = EnvPath(folderVariable);
        Convert(folder + "\\long.wav", folder + "\\out.wav", WAVE_FORMAT_GSM610);
        ADD_FAILURE() << "the conversion was not ended from outside";
        return;
    }
    TempDir dir("convert_killed");
    const DWORD dataSize = 0xF0000000u;
    std::string fmt = Le16(WAVE_FORMAT_PCM) + Le16(1) + Le32(11025) + Le32(11025) + Le16(1) + Le16(8);
    if (!WriteSparseWav(dir.File("long.wav"), fmt, dataSize, 44ULL + dataSize))
        GTEST_SKIP() << "this file system cannot hold a 3.75 GB file";
    SetEnvironmentVariableA(folderVariable, dir.Path().c_str());
    std::unique_ptr<ChildProcess> child = StartSelf(marker, "GreetingConverterRobustness.TemporaryGoesWithTheProcess");
    SetEnvironmentVariableA(folderVariable, nullptr);
    ASSERT_TRUE(child->Started());
    bool writing = WaitFor([&] { return !ListFiles(dir.Path(), "*.tmp").empty(); }, 60000);
    EXPECT_TRUE(writing) << "the child wrote no temporary";
    ASSERT_TRUE(TerminateProcess(child->Handle(), 1));
    EXPECT_TRUE(child->Wait(10000));
    EXPECT_TRUE(WaitFor([&] { return ListFiles(dir.Path()).size() == 1u; }))
        << "left behind: " << ListFiles(dir.Path()).back();
}

// Chunks before the fmt chunk (ffmpeg's -rf64 auto, broadcast WAV, LIST) and
// streamed data sizes: the converter finds the chunks wherever they are and
// writes, byte for byte, what it writes from the plain file.
TEST(GreetingConverter, ChunksBeforeFmtAndStreamedSizes)
{
    TempDir dir("convert_layouts");
    const std::string plain = FixtureBytes("conv_s16_44100_2.wav");
    const std::string fmt = ChunkBody(plain, "fmt ");
    const std::string samples = ChunkBody(plain, "data");
    ASSERT_EQ(samples.size(), 441000u);
    const std::string info = Chunk("LIST", "INFO" + Chunk("ISFT", "recorder"));
    std::string streamed = Wav(fmt, RawChunk("data", 0xFFFFFFFFu, samples));
    PutLe32(&streamed, 4, 0xFFFFFFFFu);
    struct Row {
        const char* what;
        std::string bytes;
    } rows[] = {
        {"ffmpeg -rf64 auto", FixtureBytes("conv_rf64auto_44100_2.wav")},
        {"JUNK before fmt", Wav(Chunk("JUNK", std::string(28, '\0')), fmt, Chunk("data", samples))},
        {"bext before fmt", Wav(Chunk("bext", std::string(602, ' ')), fmt, Chunk("data", samples))},
        {"LIST before and after fmt", Wav(info, fmt, info + Chunk("data", samples))},
        {"data size 0", Wav(fmt, RawChunk("data", 0, samples))},
        {"RIFF and data sizes 0xFFFFFFFF", streamed},
    };
    ASSERT_EQ(Convert(FixturePath("conv_s16_44100_2.wav"), dir.File("plain.wav"), WAVE_FORMAT_PCM), 0u);
    const std::string want = ReadFileBytes(dir.File("plain.wav"));
    for (const Row& row : rows) {
        std::string source = dir.File("source.wav");
        ASSERT_TRUE(WriteFileBytes(source, row.bytes));
        EXPECT_EQ(CGreetingConverter::Probe(source.c_str()), 0u) << row.what;
        ASSERT_EQ(Convert(source, dir.File("out.wav"), WAVE_FORMAT_PCM), 0u) << row.what;
        std::string got = ReadFileBytes(dir.File("out.wav"));
        EXPECT_TRUE(got == want) << row.what << ": " << got.size() << " bytes, from the plain file " << want.size();
    }
}

// A fact count that disagrees with the data (2.5 s of IMA ADPCM) is not
// believed: the data is decoded to its end, every block of it.
TEST(GreetingConverter, FactCountThatDisagreesWithTheDataIsIgnored)
{
    TempDir dir("convert_fact");
    std::string ima = FixtureBytes("conv_ima_8000_1.wav");
    size_t fmt = ChunkAt(ima, "fmt ");
    size_t fact = ChunkAt(ima, "fact");
    size_t data = ChunkAt(ima, "data");
    ASSERT_NE(fact, std::string::npos);
    const DWORD blocks = Le32At(ima, data - 4) / (Le32At(ima, fmt + 12) & 0xFFFF);
    const long held = (long)(blocks * (Le32At(ima, fmt + 18) & 0xFFFF));
    for (DWORD count : {100u, 1u, 200000u}) {
        PutLe32(&ima, fact, count);
        ASSERT_TRUE(WriteFileBytes(dir.File("ima.wav"), ima));
        ASSERT_EQ(Convert(dir.File("ima.wav"), dir.File("out.wav"), WAVE_FORMAT_PCM), 0u) << count;
        EXPECT_EQ((long)Play(dir.File("out.wav")).pcm.size(), held) << "fact " << count;
    }
}

// Codec fields outside their format's rules never reach a codec (one that
// divides by them ends the process): each file is refused by the probe and
// by the conversion, and nothing is left behind. The right values decode.
TEST(GreetingConverterRobustness, CodecFieldsOutsideTheirRulesAreRefused)
{
    std::string msBlocks;
    std::string imaBlocks;
    for (int i = 0; i < 8; ++i) {
        msBlocks += std::string(1, '\0') + Le16(16) + Le16(0) + Le16(0) + std::string(249, '\x11');
        imaBlocks += Le16(0) + Le16(0) + std::string(252, '\x11');
    }
    std::string msCoefficient = MsAdpcmFmt(500);
    PutLe16(&msCoefficient, 22, 255);  // the first pair's first coefficient
    std::string msNoCoefficients = MsAdpcmFmt(500);
    PutLe16(&msNoCoefficients, 20, 0);
    struct Row {
        const char* what;
        std::string fmt;
        std::string data;
        bool decodes;
    } rows[] = {
        {"MPEG layer 3, 0 bytes a second", Mp3Fmt(0), "", false},
        {"MPEG layer 3, 1 byte a second", Mp3Fmt(1), "", false},
        {"MPEG layer 3, 17 bytes a second", Mp3Fmt(17), "", false},
        {"MPEG layer 3, 0x10000000 bytes a second", Mp3Fmt(0x10000000), "", false},
        {"MS ADPCM, 0 samples per block", MsAdpcmFmt(0), msBlocks, false},
        {"MS ADPCM, 1000 samples per block", MsAdpcmFmt(1000), msBlocks, false},
        {"MS ADPCM, another coefficient", msCoefficient, msBlocks, false},
        {"MS ADPCM, no coefficients", msNoCoefficients, msBlocks, false},
        {"IMA ADPCM, 0 samples per block", ImaAdpcmFmt(0), imaBlocks, false},
        {"IMA ADPCM, 1000 samples per block", ImaAdpcmFmt(1000), imaBlocks, false},
        {"MS ADPCM as encoders write it", MsAdpcmFmt(500), msBlocks, true},
        {"IMA ADPCM as encoders write it", ImaAdpcmFmt(505), imaBlocks, true},
    };
    TempDir dir("convert_codec_fields");
    for (const Row& row : rows) {
        std::string source = dir.File("coded.wav");
        std::string target = dir.File("out.wav");
        ASSERT_TRUE(WriteFileBytes(source, Wav(row.fmt, Chunk("data", row.data))));
        EXPECT_EQ(CGreetingConverter::Probe(source.c_str()) == 0, row.decodes) << row.what;
        EXPECT_EQ(Convert(source, target, WAVE_FORMAT_PCM) == 0, row.decodes) << row.what;
        EXPECT_EQ(ListFiles(dir.Path()).size(), row.decodes ? 2u : 1u) << row.what;
        DeleteFileA(target.c_str());
    }
}

// One MS ADPCM block whose predictor index is 7 (valid: 0 to 6) costs that
// block only: it is silence, and the rest converts as from the sound file.
TEST(GreetingConverterRobustness, DamagedBlockCostsThatBlockOnly)
{
    TempDir dir("convert_damaged");
    std::string wav = FixtureBytes("conv_msadpcm_22050_1.wav");
    size_t fmt = ChunkAt(wav, "fmt ");
    size_t data = ChunkAt(wav, "data");
    ASSERT_NE(data, std::string::npos);
    const DWORD align = Le32At(wav, fmt + 12) & 0xFFFF;
    const DWORD samplesPerBlock = Le32At(wav, fmt + 18) & 0xFFFF;
    ASSERT_EQ(Convert(FixturePath("conv_msadpcm_22050_1.wav"), dir.File("sound.wav"), WAVE_FORMAT_PCM), 0u);
    std::vector<short> sound = Play(dir.File("sound.wav")).pcm;

    const DWORD damaged = 10;
    wav[data + damaged * align] = 7;
    ASSERT_TRUE(WriteFileBytes(dir.File("damaged.wav"), wav));
    DWORD code = Convert(dir.File("damaged.wav"), dir.File("out.wav"), WAVE_FORMAT_PCM);
    EXPECT_NE(code, 0u) << "the loss goes unsaid";
    std::vector<short> ours = Play(dir.File("out.wav")).pcm;
    ASSERT_EQ(ours.size(), sound.size()) << "2.5 s in, and the damaged block's length of silence";

    // At 8000 Hz, with 5 ms either side for the resampler's filter.
    const size_t margin = 40;
    const size_t start = (size_t)(damaged * samplesPerBlock * 8000ULL / 22050);
    const size_t end = (size_t)((damaged + 1) * samplesPerBlock * 8000ULL / 22050);
    auto part = [](const std::vector<short>& s, size_t from, size_t to) {
        return std::vector<short>(s.begin() + from, s.begin() + to);
    };
    double before = SnrDb(part(sound, 0, start - margin), part(ours, 0, start - margin));
    double after = SnrDb(part(sound, end + margin, sound.size()), part(ours, end + margin, ours.size()));
    int loudest = 0;
    for (size_t i = start + margin; i < end - margin; ++i)
        loudest = abs(ours[i]) > loudest ? abs(ours[i]) : loudest;
    printf("[ figure ] damaged block: %.1f dB before it, %.1f dB after it against the sound file; "
           "%d at most within it\n", before, after, loudest);
    EXPECT_GE(before, 60.0);
    EXPECT_GE(after, 60.0);
    EXPECT_LE(loudest, 64);
}

// The converter's own answers are told apart: a missing resampler is no
// target written with sound lost.
TEST(GreetingConverter, OwnCodesAreToldApart)
{
    DWORD lostMs = 0;
    EXPECT_FALSE(CGreetingConverter::SoundWasLost(CONVERT_ERROR_NO_RESAMPLER, &lostMs));
    EXPECT_FALSE(CGreetingConverter::SoundWasLost(0, &lostMs));
    EXPECT_FALSE(CGreetingConverter::SoundWasLost(ERROR_CANCELLED, &lostMs));
}
