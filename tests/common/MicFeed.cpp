#include "common/MicFeed.h"

#include <gtest/gtest.h>

#include "bytes/FileBytes.h"
#include "common/ShellScript.h"
#include "common/TestUtil.h"

namespace {

const size_t LEAD_SAMPLES = 4000;

std::string Env(const char* name)
{
    char value[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length && length < sizeof value ? value : "";
}

// pactl and pacat on the tests' sound server.
std::string Tool(const char* name) { return std::string(name) + " --server=" + Env("ORLENTA_MIC_SERVER"); }

} // namespace

bool MicConfigured() { return !Env("ORLENTA_MIC_SERVER").empty() && !Env("ORLENTA_MIC_SINK").empty(); }

MicFeed::MicFeed(const std::string& folder) : folder_(folder) {}

MicFeed::~MicFeed()
{
    Stop();
    if (removed_)
        Restore();
}

bool MicFeed::Run(const std::string& script)
{
    std::string output;
    bool ok = RunShellScript(folder_, script, &output, 30000);
    if (!ok)
        ADD_FAILURE() << "script failed:\n" << script << "\n" << output;
    return ok;
}

bool MicFeed::Play(const Samples& samples)
{
    // Half a second of silence first: a stream that starts into the running
    // sink may lose its first milliseconds on the monitor (the sink rewinds
    // what its monitor has already handed out).
    Samples fed(LEAD_SAMPLES, 0);
    fed.insert(fed.end(), samples.begin(), samples.end());
    if (!WriteFileBytes(folder_ + "\\feed.raw", ToBytes(fed)))
        return false;
    DeleteFileA((folder_ + "\\feed.done").c_str());
    // A session of its own: Stop ends pacat and its shell by that group's id.
    return Run("setsid sh -c '" + Tool("pacat") + " -d " + Env("ORLENTA_MIC_SINK") +
               " --raw --rate=8000 --channels=1 --format=s16le --latency-msec=20 feed.raw; touch feed.done'"
               " </dev/null >/dev/null 2>&1 &\necho $! >feed.pid");
}

bool MicFeed::WaitPlayed(DWORD timeoutMs)
{
    const std::string done = folder_ + "\\feed.done";
    return WaitFor([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, timeoutMs);
}

void MicFeed::Stop()
{
    if (GetFileAttributesA((folder_ + "\\feed.pid").c_str()) == INVALID_FILE_ATTRIBUTES)
        return;
    Run("[ -f feed.done ] || kill -- -$(cat feed.pid) 2>/dev/null; rm -f feed.pid; exit 0");
}

// The server would move the streams of a removed source to another one; a
// device that goes takes its streams with it, as a microphone pulled out does:
// the recording streams are ended (pacmd: pactl cannot) once the source has gone.
bool MicFeed::Remove()
{
    removed_ = true;
    const std::string pactl = Tool("pactl");
    const std::string sink = Env("ORLENTA_MIC_SINK");
    return Run("src=$(" + pactl + " list short sources | awk '$2 == \"" + sink + ".monitor\" {print $1}')\n"
               "outs=$(" + pactl + " list short source-outputs | awk -v s=\"$src\" '$2 == s {print $1}')\n"
               "m=$(" + pactl + " list short modules | awk '$2 == \"module-null-sink\" && $3 == \"sink_name=" + sink +
               "\" {print $1}')\n"
               "[ -n \"$m\" ] || exit 1\n" + pactl + " unload-module $m || exit 1\n"
               // pacmd finds the server by the runtime folder that holds its socket.
               "run=$(dirname " + Env("ORLENTA_MIC_SERVER").substr(5) + ")\n"
               "for o in $outs; do XDG_RUNTIME_DIR=$run pacmd kill-source-output $o >/dev/null; done\nexit 0");
}

bool MicFeed::Restore()
{
    removed_ = false;
    const std::string sink = Env("ORLENTA_MIC_SINK");
    return Run(Tool("pactl") + " list short sinks | awk '{print $2}' | grep -qx " + sink + " || " + Tool("pactl") +
               " load-module module-null-sink sink_name=" + sink + " rate=8000 channels=1 format=s16le >/dev/null");
}
