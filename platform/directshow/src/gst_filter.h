// How a filter of this platform joins the GStreamer pipeline of a filter graph.
#pragma once

#include <gst/gst.h>
#include <strmif.h>

#include <string>

namespace directshow {

// {6C1E9A3F-4B7D-4F2E-9A51-3D0C8E27B614}: private to the platform.
constexpr IID IID_IGstFilter{
    0x6c1e9a3f, 0x4b7d, 0x4f2e, {0x9a, 0x51, 0x3d, 0x0c, 0x8e, 0x27, 0xb6, 0x14}};

struct IGstFilter : IUnknown {
    // The filter's bin, owned by the filter; decoded audio enters at its pad "sink".
    virtual GstElement* Element() = 0;
    // Called before the graph first runs, so that a filter still lacking its output can
    // complete itself.
    virtual HRESULT PrepareToRun() = 0;

protected:
    ~IGstFilter() = default;
};

// Initialises GStreamer once for the process and loads the plugins graphs may use.
void EnsureGstInitialized();

// UTF-16 to UTF-8.
std::string Utf8FromWide(LPCWSTR text);

} // namespace directshow
