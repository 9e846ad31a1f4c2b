#include "player/RejectionMessage.h"

#include "app/CommonServices.h"
#include "app/TextSize.h"
#include "playback/CVoiceFile.h"
#include "res/resource.h"

namespace {

const int FORMAT_STRING_SIZE = 1024;  // strings 372 and 377: at most 1023 characters
const int SYSTEM_TEXT_SIZE = 512;     // the system's error text: at most 511 characters

// Sample rates that the format message names as numbers.
const DWORD KNOWN_RATES[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

// Copies format into out, replacing each "%s" by the next argument. Only %s is
// understood, so a string-table text can never read arguments it was not given.
void FillFormat(const char* format, const char* const* args, int count, char* out, int size)
{
    int length = 0;
    int next = 0;
    for (const char* p = format; *p && length < size - 1; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            const char* arg = next < count ? args[next] : "";
            ++next;
            while (*arg && length < size - 1)
                out[length++] = *arg++;
            ++p;
            continue;
        }
        out[length++] = *p;
    }
    out[length] = '\0';
}

void LoadText(HINSTANCE instance, UINT id, char* out, int size)
{
    out[0] = '\0';
    LoadStringA(instance, id, out, size);
}

bool IsKnownRate(DWORD rate)
{
    for (DWORD known : KNOWN_RATES) {
        if (known == rate)
            return true;
    }
    return false;
}

} // namespace

bool BuildRejectionMessage(HINSTANCE instance, CVoiceFile& file, char* out, int size)
{
    if (!out || size <= 0)
        return false;
    if (size > REJECTION_MESSAGE_SIZE)
        size = REJECTION_MESSAGE_SIZE;
    out[0] = '\0';

    char format[FORMAT_STRING_SIZE];
    DWORD code = file.GetLastErrorCode();
    if (code == VOICE_ERROR_FORMAT) {
        const WaveHeader& header = file.GetHeader();
        char bad[TEXT_SIZE];
        LoadText(instance, IDS_BAD_VALUE, bad, sizeof bad);

        char compression[TEXT_SIZE] = {};
        file.GetFormatName(compression);
        if (!compression[0])
            lstrcpynA(compression, bad, sizeof compression);

        char rate[TEXT_SIZE];
        char byteRate[TEXT_SIZE];
        if (IsKnownRate(header.samplesPerSec)) {
            wsprintfA(rate, "%lu", (unsigned long)header.samplesPerSec);
            wsprintfA(byteRate, "%lu", (unsigned long)header.avgBytesPerSec);
        } else {
            lstrcpynA(rate, bad, sizeof rate);
            lstrcpynA(byteRate, bad, sizeof byteRate);
        }

        char sound[TEXT_SIZE];
        if (header.channels == 1)
            LoadText(instance, IDS_MONO, sound, sizeof sound);
        else if (header.channels == 2)
            LoadText(instance, IDS_STEREO, sound, sizeof sound);
        else
            lstrcpynA(sound, bad, sizeof sound);

        LoadText(instance, IDS_WAV_BAD_FORMAT, format, sizeof format);
        const char* args[] = {file.GetFileName(), compression, rate, byteRate, sound};
        FillFormat(format, args, ARRAYSIZE(args), out, size);
        return true;
    }

    // Code 2 (missing file) included: the system's own words for the error.
    char system[SYSTEM_TEXT_SIZE];
    GetSystemErrorText(code, system, sizeof system);
    LoadText(instance, IDS_WAV_OPEN_ERROR, format, sizeof format);
    const char* args[] = {file.GetFileName(), system};
    FillFormat(format, args, ARRAYSIZE(args), out, size);
    return true;
}
