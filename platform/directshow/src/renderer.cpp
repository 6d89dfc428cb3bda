#include "renderer.h"

#include <gst/audio/audio.h>
#include <winbase.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace directshow {
namespace {

constexpr char16_t kNoName[] = u"";

double LinearGain(LONG hundredthsOfDb) {
    if (hundredthsOfDb <= RENDERER_VOLUME_SILENT)
        return 0.0;
    return std::pow(10.0, hundredthsOfDb / 2000.0);
}

} // namespace

HRESULT CReferenceRenderer::Create(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    return CreateAndQuery<CReferenceRenderer>(riid, ppv);
}

HRESULT CReferenceRenderer::Initialize() {
    EnsureGstInitialized();
    bin_ = gst_bin_new(nullptr);
    GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement* resample = gst_element_factory_make("audioresample", nullptr);
    volume_ = gst_element_factory_make("volume", nullptr);
    if (!bin_ || !convert || !resample || !volume_) {
        for (GstElement* e : {bin_, convert, resample, volume_})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        bin_ = volume_ = nullptr;
        return E_FAIL;
    }
    gst_object_ref_sink(bin_);
    gst_bin_add_many(GST_BIN(bin_), convert, resample, volume_, nullptr);
    if (!gst_element_link_many(convert, resample, volume_, nullptr))
        return E_FAIL;
    GstPad* target = gst_element_get_static_pad(convert, "sink");
    gst_element_add_pad(bin_, gst_ghost_pad_new("sink", target));
    gst_object_unref(target);
    return S_OK;
}

CReferenceRenderer::~CReferenceRenderer() {
    if (bin_) {
        gst_element_set_state(bin_, GST_STATE_NULL);
        handlers_.Retire();
        gst_object_unref(bin_);
    }
}

HRESULT CReferenceRenderer::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPersist || riid == IID_IMediaFilter ||
        riid == IID_IBaseFilter)
        *ppv = static_cast<IBaseFilter*>(this);
    else if (riid == IID_IRendererControl)
        *ppv = static_cast<IRendererControl*>(this);
    else if (riid == IID_IGstFilter)
        *ppv = static_cast<IGstFilter*>(this);
    else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT CReferenceRenderer::GetClassID(CLSID* pClassID) {
    if (!pClassID)
        return E_POINTER;
    *pClassID = CLSID_ReferenceRenderer;
    return S_OK;
}

HRESULT CReferenceRenderer::QueryFilterInfo(FILTER_INFO* pInfo) {
    if (!pInfo)
        return E_POINTER;
    std::memset(pInfo, 0, sizeof *pInfo);
    const size_t n = std::min(filterName_.size(), std::size(pInfo->achName) - 1);
    std::copy_n(filterName_.begin(), n, pInfo->achName);
    pInfo->pGraph = graph_;
    if (graph_)
        graph_->AddRef();
    return S_OK;
}

HRESULT CReferenceRenderer::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) {
    graph_ = pGraph;
    filterName_ = pGraph && pName ? pName : kNoName;
    return S_OK;
}

HRESULT CReferenceRenderer::SetOutput(const void* rendererParam) {
    if (!rendererParam)
        return E_POINTER;
    if (hasOutput_)
        return VFW_E_WRONG_STATE;
    const auto& param = *static_cast<const RENDERER_PARAM*>(rendererParam);
    GstElement* sink = nullptr;
    switch (param.output) {
    case RENDERER_OUTPUT_DEVICE:
        sink = gst_element_factory_make("autoaudiosink", nullptr);
        break;
    case RENDERER_OUTPUT_CAPTURE: {
        if (!param.captureFile)
            return E_INVALIDARG;
        std::lock_guard lock(captureLock_);
        if (!capture_.Open(param.captureFile))
            return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
        sink = MakeCaptureSink();
        break;
    }
    case RENDERER_OUTPUT_DISCARD:
        sink = gst_element_factory_make("fakesink", nullptr);
        if (sink)
            g_object_set(sink, "sync", TRUE, nullptr);
        break;
    default:
        return E_INVALIDARG;
    }
    if (!sink)
        return E_FAIL;
    firstSample_ = param.firstSample;
    return AttachOutput(sink);
}

GstElement* CReferenceRenderer::MakeCaptureSink() {
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    if (!sink)
        return nullptr;
    GstCaps* caps = gst_caps_from_string("audio/x-raw,format=S16LE,layout=interleaved");
    g_object_set(sink, "caps", caps, "sync", TRUE, nullptr);
    gst_caps_unref(caps);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &CReferenceRenderer::OnCaptureSample;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
    return sink;
}

HRESULT CReferenceRenderer::AttachOutput(GstElement* sink) {
    gst_bin_add(GST_BIN(bin_), sink);
    if (!gst_element_link(volume_, sink)) {
        gst_bin_remove(GST_BIN(bin_), sink);
        return E_FAIL;
    }
    if (firstSample_) {
        GstPad* pad = gst_element_get_static_pad(sink, "sink");
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, &CReferenceRenderer::OnFirstBuffer, this,
                          nullptr);
        gst_object_unref(pad);
    }
    handlers_.Publish();
    // A bin already in a running pipeline brings its new element up to its own state.
    gst_element_sync_state_with_parent(sink);
    hasOutput_ = true;
    return S_OK;
}

HRESULT CReferenceRenderer::PrepareToRun() {
    if (hasOutput_)
        return S_OK;
    RENDERER_PARAM device{RENDERER_OUTPUT_DEVICE, nullptr, nullptr};
    return SetOutput(&device);
}

HRESULT CReferenceRenderer::SetVolume(LONG volume) {
    if (volume > RENDERER_VOLUME_FULL || volume < RENDERER_VOLUME_SILENT)
        return E_INVALIDARG;
    g_object_set(volume_, "volume", LinearGain(volume), nullptr);
    return S_OK;
}

GstPadProbeReturn CReferenceRenderer::OnFirstBuffer(GstPad*, GstPadProbeInfo*, gpointer self) {
    auto* renderer = static_cast<CReferenceRenderer*>(self);
    HandlerScope scope(renderer->handlers_);
    SetEvent(renderer->firstSample_);
    return GST_PAD_PROBE_REMOVE;
}

GstFlowReturn CReferenceRenderer::OnCaptureSample(GstAppSink* sink, gpointer self) {
    auto* renderer = static_cast<CReferenceRenderer*>(self);
    HandlerScope scope(renderer->handlers_);
    GstSample* sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_EOS;
    GstAudioInfo info;
    GstMapInfo map;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    bool written = false;
    if (gst_audio_info_from_caps(&info, gst_sample_get_caps(sample)) &&
        gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        std::lock_guard lock(renderer->captureLock_);
        written = renderer->capture_.Write({map.data, map.size}, GST_AUDIO_INFO_RATE(&info),
                                           GST_AUDIO_INFO_CHANNELS(&info));
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    if (!written) {
        GST_ELEMENT_ERROR(sink, RESOURCE, WRITE, ("could not write the capture file"), (nullptr));
        return GST_FLOW_ERROR;
    }
    return GST_FLOW_OK;
}

} // namespace directshow
