// Mono float samples at any rate to 8000 Hz through the platform's own audio
// resampler, Media Foundation's resampler DSP (CLSID_CResamplerMediaObject).
// Created, used and destroyed on one thread, which it joins to COM and Media
// Foundation for its lifetime.
#pragma once
#include <windows.h>

#include <vector>

struct IMFTransform;
struct IMFSample;
struct IMFMediaBuffer;

class CMfResampler {
public:
    CMfResampler();
    virtual ~CMfResampler();
    CMfResampler(const CMfResampler&) = delete;
    CMfResampler& operator=(const CMfResampler&) = delete;

    HRESULT Open(DWORD inputRate, DWORD outputRate);
    // Resamples a piece; what comes out is appended to out.
    HRESULT Process(const float* samples, DWORD count, std::vector<float>* out);
    // The end of the input: what the filter still holds is appended to out.
    HRESULT Drain(std::vector<float>* out);

private:
    HRESULT Pull(std::vector<float>* out);
    void Release();

    bool comJoined_;
    bool mfStarted_;
    IMFTransform* transform_;
    IMFSample* outSample_;        // reused for every output
    IMFMediaBuffer* outBuffer_;
};
