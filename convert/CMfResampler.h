// Mono float samples at any rate to 8000 Hz through the platform's own audio
// resampler, Media Foundation's resampler DSP (CLSID_CResamplerMediaObject).
// Created, used and destroyed on one thread, which it joins to COM and Media
// Foundation for its lifetime. Media Foundation is a Windows component that
// may be missing (N editions, Windows Server without the feature): Open then
// fails with an error, before any of its functions is called.
#pragma once
#include <windows.h>
#include <mftransform.h>
#include <wrl/client.h>

#include <vector>

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
    // COM and Media Foundation for this thread, undone when it goes; declared
    // first, so that it goes after every object of theirs.
    class CPlatformScope {
    public:
        CPlatformScope() = default;
        ~CPlatformScope() { End(); }
        CPlatformScope(const CPlatformScope&) = delete;
        CPlatformScope& operator=(const CPlatformScope&) = delete;
        HRESULT Begin();
        void End();

    private:
        HMODULE mfplat_ = nullptr;  // held while Media Foundation runs
        bool comJoined_ = false;
        bool mfStarted_ = false;
    };

    HRESULT Pull(std::vector<float>* out);
    void Release();

    CPlatformScope platform_;
    Microsoft::WRL::ComPtr<IMFTransform> transform_;
    Microsoft::WRL::ComPtr<IMFSample> outSample_;  // reused for every output
    Microsoft::WRL::ComPtr<IMFMediaBuffer> outBuffer_;
};
