#include "audio/CMfResampler.h"

#include <initguid.h>
#include <mfapi.h>
#include <mferror.h>
#include <mftransform.h>
#include <wmcodecdsp.h>
#include <string.h>

namespace {

const DWORD OUTPUT_BUFFER_BYTES = 256 * 1024;

HRESULT SetFloatType(IMFTransform* transform, bool input, DWORD rate)
{
    IMFMediaType* type = nullptr;
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
    hr = input ? transform->SetInputType(0, type, 0) : transform->SetOutputType(0, type, 0);
    type->Release();
    return hr;
}

HRESULT MakeSample(DWORD bytes, IMFSample** sample, IMFMediaBuffer** buffer)
{
    HRESULT hr = MFCreateSample(sample);
    if (FAILED(hr))
        return hr;
    hr = MFCreateMemoryBuffer(bytes, buffer);
    if (SUCCEEDED(hr))
        hr = (*sample)->AddBuffer(*buffer);
    return hr;
}

} // namespace

CMfResampler::CMfResampler()
    : comJoined_(false), mfStarted_(false), transform_(nullptr), outSample_(nullptr), outBuffer_(nullptr)
{
}

CMfResampler::~CMfResampler() { Release(); }

void CMfResampler::Release()
{
    if (outBuffer_)
        outBuffer_->Release();
    if (outSample_)
        outSample_->Release();
    if (transform_)
        transform_->Release();
    outBuffer_ = nullptr;
    outSample_ = nullptr;
    transform_ = nullptr;
    if (mfStarted_)
        MFShutdown();
    if (comJoined_)
        CoUninitialize();
    mfStarted_ = false;
    comJoined_ = false;
}

HRESULT CMfResampler::Open(DWORD inputRate, DWORD outputRate)
{
    Release();
    // A thread that already chose its apartment keeps it; only a join of our
    // own is undone.
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    comJoined_ = SUCCEEDED(hr);
    hr = MFStartup(MF_VERSION, MFSTARTUP_LITE);
    if (FAILED(hr))
        return hr;
    mfStarted_ = true;
    hr = CoCreateInstance(CLSID_CResamplerMediaObject, nullptr, CLSCTX_INPROC_SERVER, IID_IMFTransform,
                          reinterpret_cast<void**>(&transform_));
    if (FAILED(hr))
        return hr;
    hr = SetFloatType(transform_, true, inputRate);
    if (SUCCEEDED(hr))
        hr = SetFloatType(transform_, false, outputRate);
    if (SUCCEEDED(hr))
        hr = MakeSample(OUTPUT_BUFFER_BYTES, &outSample_, &outBuffer_);
    if (SUCCEEDED(hr))
        hr = transform_->ProcessMessage(MFT_MESSAGE_NOTIFY_BEGIN_STREAMING, 0);
    return hr;
}

HRESULT CMfResampler::Process(const float* samples, DWORD count, std::vector<float>* out)
{
    if (!transform_)
        return E_UNEXPECTED;
    if (count == 0)
        return S_OK;
    IMFSample* sample = nullptr;
    IMFMediaBuffer* buffer = nullptr;
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
        hr = transform_->ProcessInput(0, sample, 0);
    if (buffer)
        buffer->Release();
    if (sample)
        sample->Release();
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
        output.pSample = outSample_;
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
