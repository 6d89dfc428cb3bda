// The reference renderer filter: a bin "audioconvert ! audioresample ! volume ! output".
#pragma once

#include "com_object.h"
#include "gst_filter.h"
#include "handler_sync.h"
#include "wav_writer.h"

#include <control.h>
#include <directshow/renderer.h>
#include <gst/app/gstappsink.h>

#include <mutex>
#include <string>

namespace directshow {

class CReferenceRenderer final : public IBaseFilter,
                                 public IRendererControl,
                                 public IGstFilter,
                                 private RefCounted<CReferenceRenderer> {
public:
    static HRESULT Create(REFIID riid, void** ppv);
    HRESULT Initialize();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

    // IPersist, IMediaFilter, IBaseFilter: the graph drives the states through its
    // pipeline, so the filter's own state and pin slots are not offered.
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) override;
    HRESULT STDMETHODCALLTYPE Stop() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Pause() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* pInfo) override;
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override;
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

    // IRendererControl
    HRESULT STDMETHODCALLTYPE SetOutput(const void* rendererParam) override;
    HRESULT STDMETHODCALLTYPE SetVolume(LONG volume) override;

    // IGstFilter
    GstElement* Element() override { return bin_; }
    HRESULT PrepareToRun() override;

private:
    friend class RefCounted<CReferenceRenderer>;
    template <typename T, typename... Args>
    friend HRESULT CreateAndQuery(REFIID, void**, Args&&...);
    CReferenceRenderer() = default;
    ~CReferenceRenderer();

    HRESULT AttachOutput(GstElement* sink);
    GstElement* MakeCaptureSink();
    static GstPadProbeReturn OnFirstBuffer(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    static GstFlowReturn OnCaptureSample(GstAppSink* sink, gpointer self);

    GstElement* bin_ = nullptr;    // owned reference
    GstElement* volume_ = nullptr; // inside bin_
    bool hasOutput_ = false;
    HANDLE firstSample_ = nullptr; // the caller's event
    HandlerSync handlers_;         // the probe's and the capture sink's view of this object
    std::mutex captureLock_;
    WavWriter capture_;
    IFilterGraph* graph_ = nullptr; // not counted: the graph holds this filter
    std::u16string filterName_;
};

} // namespace directshow
