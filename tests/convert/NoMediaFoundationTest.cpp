// Conversion on a machine without Media Foundation (Windows N editions,
// Windows Server without the feature), or whose resampler cannot be created.
// Wine switches a library off only for a process started so: the checks run
// in a child of this program started without mfplat, or without winegstreamer
// (where Wine's resampler lives).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/CommonServices.h"
#include "convert/CGreetingConverter.h"
#include "playback/CVoiceFile.h"
#include "common/DialogRunner.h"
#include "common/ModalWatcher.h"
#include "common/SelfRelaunch.h"
#include "common/TestUtil.h"
#include "config/CConfigDialog.h"
#include "res/resource.h"

namespace {

const char CHILD_MARKER[] = "ORLENTA_NO_MF_CHILD";
const DWORD CHILD_TIMEOUT_MS = 180000;

DWORD Convert(const std::string& source, const std::string& target, WORD tag)
{
    CGreetingConverter converter;
    return converter.Convert(source.c_str(), target.c_str(), tag, nullptr, nullptr);
}

// A source at 8000 Hz needs no resampler: mixed down, decoded, re-encoded or
// laid out anew, it converts as anywhere.
void CheckEightKilohertzConverts(const TempDir& dir)
{
    struct Row {
        const char* fixture;
        WORD tag;
    } rows[] = {
        {"reject_pcm_stereo_8000.wav", WAVE_FORMAT_ALAW},  // mixed down
        {"conv_ima_8000_1.wav", WAVE_FORMAT_PCM},          // decoded
        {"conv_speech_8000.wav", WAVE_FORMAT_GSM610},      // re-encoded
        {"reject_pcm24_8000.wav", WAVE_FORMAT_PCM},        // extensible 24-bit laid out as PCM
    };
    for (const Row& row : rows) {
        std::string target = dir.File("out.wav");
        ASSERT_EQ(Convert(FixturePath(row.fixture), target, row.tag), 0u) << row.fixture;
        CVoiceFile check(target.c_str());
        EXPECT_TRUE(check.Open()) << row.fixture;
        EXPECT_GT(check.GetDuration(), 0u) << row.fixture;
        check.Close();
        DeleteFileA(target.c_str());
    }
}

// One that needs a new rate is refused with its own code, nothing written;
// the operator reads which Windows component is missing, and the open dialog
// comes again.
void CheckNewRateIsRefused(const TempDir& dir)
{
    std::string source = dir.File("greeting44k.wav");
    ASSERT_TRUE(CopyFileA(FixturePath("conv_s16_44100_2.wav").c_str(), source.c_str(), FALSE));
    EXPECT_EQ(Convert(source, dir.File("direct.wav"), WAVE_FORMAT_PCM), CONVERT_ERROR_NO_RESAMPLER);
    EXPECT_EQ(ListFiles(dir.Path()).size(), 1u) << "something was written";

    CConfigDialog dialog(g_hInstance);
    DialogRunner ui;
    ASSERT_TRUE(ui.Start(&dialog));
    ModalWatcher watcher;
    watcher.ChooseFile(source);
    watcher.Press(IDOK);   // the format message
    watcher.Press(IDYES);  // the offer
    watcher.ChooseFile(dir.File("greeting_8k.wav"));
    watcher.Press(IDOK);   // what is missing
    watcher.CancelFile();  // the open dialog again
    ui.Click(IDC_CHOOSE_GREETING);
    ASSERT_TRUE(watcher.WaitAllAnswered(60000));
    std::vector<SeenDialog> seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 6u);
    const std::string expected =
        "Файл [" + Utf8(source) +
        "] не может быть преобразован: его частота дискретизации не 8000 Гц, а для её изменения нужен компонент "
        "Windows Media Foundation, которого на этом компьютере нет или который не работает.\n\nУстановите Media "
        "Foundation (в выпусках Windows N — пакет Media Feature Pack, в Windows Server — компонент «Media "
        "Foundation») или сохраните файл с частотой 8000 Гц в другой программе. Ничего не записано.";
    EXPECT_EQ(Utf8(seen[4].text), expected);
    EXPECT_TRUE(seen[4].hasIcon);
    EXPECT_EQ(seen[5].kind, SeenDialog::FileDialog);
    EXPECT_EQ(ui.Text(IDC_GREETING), "");
    EXPECT_EQ(ListFiles(dir.Path()).size(), 1u) << "something was written";
}

} // namespace

TEST(NoMediaFoundation, EightKilohertzConvertsAndANewRateIsRefusedWithTheMissingComponent)
{
    if (IsRelaunched(CHILD_MARKER)) {
        TempDir dir("convert_nomf");
        CheckEightKilohertzConverts(dir);
        CheckNewRateIsRefused(dir);
        return;
    }
    for (const char* off : {"mfplat=d", "winegstreamer=d"}) {
        DWORD code = RunSelfWithDllOverrides(
            CHILD_MARKER, "NoMediaFoundation.EightKilohertzConvertsAndANewRateIsRefusedWithTheMissingComponent",
            off, CHILD_TIMEOUT_MS);
        EXPECT_EQ(code, 0u) << "the child without " << off << " failed or died (0xC06D007E: Media Foundation "
                            << "called without its library); its output is above";
    }
}
