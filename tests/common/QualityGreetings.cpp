#include "common/QualityGreetings.h"

#include <gtest/gtest.h>

#include <memory>

#include "common/ShellScript.h"
#include "common/SignalMeasure.h"
#include "common/TestUtil.h"

const QualityGreeting QUALITY_GREETINGS[6] = {
    {"sound", "gain -n -3 pad 0.3 0.5", nullptr},
    {"quiet", "gain -n -17 pad 0.3 0.5", "greeting-quiet"},
    // Compressed, clipped 12 dB over full scale, then brought down: loud with
    // its peaks short of full scale, also once GSM 6.10 has coded them.
    {"loud", "compand 0.005,0.1 6:-80,-80,-50,-10,-20,-5,0,-3 0 -90 0.005 gain -n 12 gain -n -3 pad 0.3 0.5",
     "greeting-loud"},
    {"clipped", "gain -n 6 pad 0.3 0.5", "greeting-clipped"},
    {"lead", "gain -n -3 pad 1.6 0.5", "greeting-lead-silence"},
    {"tail", "gain -n -3 pad 0.3 2.8", "greeting-tail-silence"},
};

const char* const QUALITY_ENCODINGS[4] = {"pcm", "alaw", "ulaw", "gsm"};

namespace {

// sox: repeatable (-R), no dither (-D), errors only (-V1).
const char SOX[] = "sox -R -D -V1";

std::string MakeScript()
{
    std::string script = "set -e\nspeech='" + UnixPath(FixturePath("conv_speech_8000.wav")) + "'\n";
    for (const QualityGreeting& g : QUALITY_GREETINGS) {
        std::string name = g.name;
        script += std::string(SOX) + " \"$speech\" -b 16 -e signed-integer " + name + "_pcm.wav " + g.effects + "\n";
        script += std::string(SOX) + " " + name + "_pcm.wav -e a-law " + name + "_alaw.wav\n";
        script += std::string(SOX) + " " + name + "_pcm.wav -e mu-law " + name + "_ulaw.wav\n";
        script += std::string(SOX) + " " + name + "_pcm.wav -e gsm-full-rate " + name + "_gsm.wav\n";
    }
    // Signals for the comparison with sox's own statistics.
    script += std::string(SOX) + " -n -r 8000 -c 1 -b 16 dc_pcm.wav synth 3 sine 440 vol 0.3 dcshift 0.02\n";
    script += std::string(SOX) + " -n -r 8000 -c 1 -b 16 noise_pcm.wav synth 3 whitenoise vol 0.1\n";
    return script;
}

} // namespace

const std::string& QualityFolder()
{
    static std::unique_ptr<TempDir> folder;
    static std::string path;
    if (!folder) {
        folder.reset(new TempDir("quality"));
        std::string output;
        if (RunShellScript(folder->Path(), MakeScript(), &output))
            path = folder->Path();
        else
            ADD_FAILURE() << "sox could not make the greetings:\n" << output;
    }
    return path;
}

std::string QualityFile(const char* name, const char* encoding)
{
    return QualityFolder() + "\\" + name + "_" + encoding + ".wav";
}

std::vector<short> SoxPcmSamples(const std::string& path)
{
    std::string bytes = ReadFileBytes(path);
    return SamplesOf(bytes.size() > 44 ? bytes.substr(44) : std::string());
}
