// The reference renderer filter: plays what the graph decodes to the audio device, or
// captures it to a WAV file, at a volume given in hundredths of a decibel.
#pragma once

#include <strmif.h>

// {6C1E9A30-4B7D-4F2E-9A51-3D0C8E27B614}
constexpr CLSID CLSID_ReferenceRenderer{
    0x6c1e9a30, 0x4b7d, 0x4f2e, {0x9a, 0x51, 0x3d, 0x0c, 0x8e, 0x27, 0xb6, 0x14}};
// {6C1E9A31-4B7D-4F2E-9A51-3D0C8E27B614}
constexpr IID IID_IRendererControl{
    0x6c1e9a31, 0x4b7d, 0x4f2e, {0x9a, 0x51, 0x3d, 0x0c, 0x8e, 0x27, 0xb6, 0x14}};

enum RENDERER_OUTPUT : DWORD {
    RENDERER_OUTPUT_DEVICE = 0,  // the default audio device (autoaudiosink)
    RENDERER_OUTPUT_CAPTURE = 1, // 16-bit PCM WAV file, in real time
    RENDERER_OUTPUT_DISCARD = 2, // thrown away, in real time
};

// What the renderer's parameter points to. The renderer copies it; `firstSample`, when
// given, must stay open while the renderer lives.
struct RENDERER_PARAM {
    DWORD output;       // a RENDERER_OUTPUT
    LPCSTR captureFile; // RENDERER_OUTPUT_CAPTURE: the file, created anew; every run of
                        // the graph appends what it renders
    HANDLE firstSample; // optional event, set when the first sample reaches the output
};

constexpr LONG RENDERER_VOLUME_FULL = 0;
constexpr LONG RENDERER_VOLUME_SILENT = -10000;

struct IRendererControl : IUnknown {
    // Chooses the output from a RENDERER_PARAM; once, before the graph first runs.
    virtual HRESULT STDMETHODCALLTYPE SetOutput(const void* rendererParam) = 0;
    // Hundredths of a decibel, from RENDERER_VOLUME_SILENT to RENDERER_VOLUME_FULL.
    virtual HRESULT STDMETHODCALLTYPE SetVolume(LONG volume) = 0;

protected:
    ~IRendererControl() = default;
};
