#include "convert/CConversionThread.h"

#include <process.h>

#include "convert/CGreetingConverter.h"

namespace {

// Progress is told in steps of a percent: at most a hundred messages.
const int PROGRESS_STEP = 10;

} // namespace

CConversionThread::CConversionThread(const char* source, const char* target, WORD targetTag,
                                     const GreetingFixChoice* fix)
    : tag_(targetTag), thread_(nullptr), cancel_(false), notify_(nullptr), result_(ERROR_CANCELLED), done_(false)
{
    lstrcpynA(source_, source, sizeof source_);
    lstrcpynA(target_, target, sizeof target_);
    fix_.level = fix && fix->level;
    fix_.trim = fix && fix->trim;
}

CConversionThread::~CConversionThread()
{
    if (!thread_.IsValid())
        return;
    notify_.store(nullptr);
    Cancel();
    WaitForSingleObject(thread_.Get(), INFINITE);
}

bool CConversionThread::Start()
{
    unsigned id = 0;
    thread_.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadMain, this, 0, &id)));
    return thread_.IsValid();
}

unsigned __stdcall CConversionThread::ThreadMain(void* self)
{
    static_cast<CConversionThread*>(self)->Run();
    return 0;
}

void CConversionThread::Run()
{
    int told = 0;
    auto tell = [this, &told](int permille) {
        HWND window = notify_.load();
        if (window && permille >= told + PROGRESS_STEP) {
            told = permille;
            PostMessageA(window, WM_CONVERSION_PROGRESS, permille, 0);
        }
    };
    {
        CGreetingConverter converter;
        converter.SetFix(fix_);
        result_ = converter.Convert(source_, target_, tag_, &cancel_, tell);
    }
    // Gone with the converter: its files and any temporary it left.
    TellEnded();
}

// The end is marked before the window is read, and the window is set before
// the mark is read (both sequentially consistent): a window that opens
// meanwhile either is read here or sees the mark, never neither.
void CConversionThread::TellEnded()
{
    done_.store(true);
    HWND window = notify_.load();
    if (window)
        PostMessageA(window, WM_CONVERSION_ENDED, 0, 0);
}
