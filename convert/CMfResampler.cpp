#include "convert/CMfResampler.h"

#include <initguid.h>
#include <mfapi.h>
#include <mferror.h>
#include <wmcodecdsp.h>
#include <string.h>

using Microsoft::WRL::ComPtr;

namespace {

const DWORD OUTPUT_BUFFER_BYTES = 256 * 1024;

HRESULT SetFloatType(IMFTransform* transform, bool input, DWORD rate)
{
    ComPtr<IMFMediaType> type;
    HRESULT hr = MFCreateMediaType(&type);
    if (FAILED(hr))
        return hr;
    type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
    type->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_Float);
    type->SetUINT32(MF_MT_AUDIO_NUM_CHANNELS, 1);
    type->SetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, rate);
    type->SetUINT32(MF_MT_AUDIO_BLOCK_ALIGNMENT, sizeof(float));
    type->SetUINT32(MF_MT_AUDIO_AVG_BYTES_PER_SECOND, rate * sizeof(float));
    type->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, 32);
    type->SetUINT32(MF_MT_ALL_SAMPLES_INDEPENDENT, TRUE);
    return input ? transform->SetInputType(0, type.Get(), 0) : transform->SetOutputType(0, type.Get(), 0);
}

HRESULT MakeSample(DWORD bytes, ComPtr<IMFSample>* sample, ComPtr<IMFMediaBuffer>* buffer)
{
    HRESULT hr = MFCreateSample(sample->ReleaseAndGetAddressOf());
    if (SUCCEEDED(hr))
        hr = MFCreateMemoryBuffer(bytes, buffer->ReleaseAndGetAddressOf());
    if (SUCCEEDED(hr))
        hr = (*sample)->AddBuffer(buffer->Get());
    return hr;
}

} // namespace

// A thread that already chose its apartment keeps it; only a join of our own
// is undone. Media Foundation's functions are bound when first called: its
// library is loaded here first, so that a missing one is an error, not an
// exception on the first call.
HRESULT CMfResampler::CPlatformScope::Begin()
{
    End();
    mfplat_ = LoadLibraryA("mfplat.dll");
    if (!mfplat_) {
        DWORD error = GetLastError();
        return HRESULT_FROM_WIN32(error ? error : ERROR_MOD_NOT_FOUND);
    }
    comJoined_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    HRESULT hr = MFStartup(MF_VERSION, MFSTARTUP_LITE);
    mfStarted_ = SUCCEEDED(hr);
    return hr;
}

void CMfResampler::CPlatformScope::End()
{
    if (mfStarted_)
        MFShutdown();
    if (comJoined_)
        CoUninitialize();
    if (mfplat_)
        FreeLibrary(mfplat_);
    mfplat_ = nullptr;
    mfStarted_ = false;
    comJoined_ = false;
}

CMfResampler::CMfResampler() {}

CMfResampler::~CMfResampler() { Release(); }

void CMfResampler::Release()
{
    outBuffer_.Reset();
    outSample_.Reset();
    transform_.Reset();
    platform_.End();
}

HRESULT CMfResampler::Open(DWORD inputRate, DWORD outputRate)
{
    Release();
    HRESULT hr = platform_.Begin();
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(CLSID_CResamplerMediaObject, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&transform_));
    if (SUCCEEDED(hr))
        hr = SetFloatType(transform_.Get(), true, inputRate);
    if (SUCCEEDED(hr))
        hr = SetFloatType(transform_.Get(), false, outputRate);
    if (SUCCEEDED(hr))
        hr = MakeSample(OUTPUT_BUFFER_BYTES, &outSample_, &outBuffer_);
    if (SUCCEEDED(hr))
        hr = transform_->ProcessMessage(MFT_MESSAGE_NOTIFY_BEGIN_STREAMING, 0);
    if (FAILED(hr))
        Release();
    return hr;
}

HRESULT CMfResampler::Process(const float* samples, DWORD count, std::vector<float>* out)
{
    if (!transform_)
        return E_UNEXPECTED;
    if (count == 0)
        return S_OK;
    ComPtr<IMFSample> sample;
    ComPtr<IMFMediaBuffer> buffer;
    const DWORD bytes = count * sizeof(float);
    HRESULT hr = MakeSample(bytes, &sample, &buffer);
    BYTE* data = nullptr;
    if (SUCCEEDED(hr))
        hr = buffer->Lock(&data, nullptr, nullptr);
    if (SUCCEEDED(hr)) {
        memcpy(data, samples, bytes);
        buffer->Unlock();
        hr = buffer->SetCurrentLength(bytes);
    }
    if (SUCCEEDED(hr))
        hr = transform_->ProcessInput(0, sample.Get(), 0);
    return SUCCEEDED(hr) ? Pull(out) : hr;
}

HRESULT CMfResampler::Drain(std::vector<float>* out)
{
    if (!transform_)
        return E_UNEXPECTED;
    HRESULT hr = transform_->ProcessMessage(MFT_MESSAGE_COMMAND_DRAIN, 0);
    return SUCCEEDED(hr) ? Pull(out) : hr;
}

// Takes output until the transform wants more input.
HRESULT CMfResampler::Pull(std::vector<float>* out)
{
    for (;;) {
        outBuffer_->SetCurrentLength(0);
        MFT_OUTPUT_DATA_BUFFER output = {};
        output.pSample = outSample_.Get();
        DWORD status = 0;
        HRESULT hr = transform_->ProcessOutput(0, 1, &output, &status);
        if (output.pEvents)
            output.pEvents->Release();
        if (hr == MF_E_TRANSFORM_NEED_MORE_INPUT)
            return S_OK;
        if (FAILED(hr))
            return hr;
        BYTE* data = nullptr;
        DWORD length = 0;
        hr = outBuffer_->Lock(&data, nullptr, &length);
        if (FAILED(hr))
            return hr;
        const float* samples = reinterpret_cast<const float*>(data);
        out->insert(out->end(), samples, samples + length / sizeof(float));
        outBuffer_->Unlock();
    }
}
