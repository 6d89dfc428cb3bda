#include "filter_graph.h"

#include <winbase.h>

#include <filesystem>

namespace directshow {

HRESULT CFilterGraph::Create(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    return CreateAndQuery<CFilterGraph>(riid, ppv);
}

HRESULT CFilterGraph::Initialize() {
    EnsureGstInitialized();
    eventHandle_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!eventHandle_)
        return E_OUTOFMEMORY;
    pipeline_ = gst_pipeline_new(nullptr);
    if (!pipeline_)
        return E_FAIL;
    gst_object_ref_sink(pipeline_);
    GstBus* bus = gst_element_get_bus(pipeline_);
    gst_bus_set_sync_handler(bus, &CFilterGraph::OnBusMessage, this, nullptr);
    gst_object_unref(bus);
    return S_OK;
}

CFilterGraph::~CFilterGraph() {
    if (pipeline_) {
        // NULL joins the streaming threads: no bus message or pad arrives after this.
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        handlers_.Retire();
        for (const Filter& f : filters_)
            gst_bin_remove(GST_BIN(pipeline_), f.gst->Element());
        GstBus* bus = gst_element_get_bus(pipeline_);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
        gst_object_unref(pipeline_);
    }
    if (renderTarget_)
        gst_object_unref(renderTarget_);
    for (const Filter& f : filters_) {
        f.filter->JoinFilterGraph(nullptr, nullptr);
        f.gst->Release();
        f.filter->Release();
    }
    if (eventHandle_)
        CloseHandle(eventHandle_);
}

HRESULT CFilterGraph::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IFilterGraph || riid == IID_IGraphBuilder)
        *ppv = static_cast<IGraphBuilder*>(this);
    else if (riid == IID_IMediaControl)
        *ppv = static_cast<IMediaControl*>(this);
    else if (riid == IID_IMediaEvent)
        *ppv = static_cast<IMediaEvent*>(this);
    else if (riid == IID_IMediaPosition)
        *ppv = static_cast<IMediaPosition*>(this);
    else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT CFilterGraph::AddFilter(IBaseFilter* pFilter, LPCWSTR pName) {
    if (!pFilter)
        return E_POINTER;
    IGstFilter* gst = nullptr;
    if (FAILED(pFilter->QueryInterface(IID_IGstFilter, reinterpret_cast<void**>(&gst))))
        return E_NOINTERFACE;
    std::lock_guard lock(controlLock_);
    if (state_ != State_Stopped || !gst_bin_add(GST_BIN(pipeline_), gst->Element())) {
        gst->Release();
        return VFW_E_WRONG_STATE;
    }
    pFilter->AddRef();
    filters_.push_back({pFilter, gst});
    pFilter->JoinFilterGraph(this, pName);
    return S_OK;
}

HRESULT CFilterGraph::RemoveFilter(IBaseFilter* pFilter) {
    std::lock_guard lock(controlLock_);
    for (auto it = filters_.begin(); it != filters_.end(); ++it) {
        if (it->filter != pFilter)
            continue;
        if (state_ != State_Stopped || it->gst->Element() == renderTarget_)
            return VFW_E_WRONG_STATE;
        gst_bin_remove(GST_BIN(pipeline_), it->gst->Element());
        pFilter->JoinFilterGraph(nullptr, nullptr);
        it->gst->Release();
        pFilter->Release();
        filters_.erase(it);
        return S_OK;
    }
    return VFW_E_NOT_IN_GRAPH;
}

HRESULT CFilterGraph::RenderFile(LPCWSTR lpcwstrFile, LPCWSTR) {
    if (!lpcwstrFile)
        return E_POINTER;
    const std::string path = Utf8FromWide(lpcwstrFile);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    std::lock_guard lock(controlLock_);
    if (renderTarget_)
        return VFW_E_WRONG_STATE; // one file per graph
    if (filters_.empty())
        return VFW_E_CANNOT_RENDER; // nothing to render into
    GstElement* source = gst_element_factory_make("filesrc", nullptr);
    GstElement* decoder = gst_element_factory_make("decodebin", nullptr);
    if (!source || !decoder) {
        for (GstElement* e : {source, decoder})
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        return E_FAIL;
    }
    g_object_set(source, "location", path.c_str(), nullptr);
    gst_bin_add_many(GST_BIN(pipeline_), source, decoder, nullptr);
    gst_element_link(source, decoder);
    // The audio stream goes to the renderer added first; decodebin names its pads once
    // it has found the format, which happens when the graph first pauses or runs.
    renderTarget_ = GST_ELEMENT(gst_object_ref(filters_.front().gst->Element()));
    g_signal_connect(decoder, "pad-added", G_CALLBACK(&CFilterGraph::OnDecodedPad), this);
    return S_OK;
}

void CFilterGraph::OnDecodedPad(GstElement*, GstPad* pad, gpointer self) {
    auto* graph = static_cast<CFilterGraph*>(self);
    HandlerScope scope(graph->handlers_);
    GstCaps* caps = gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, nullptr);
    const bool audio =
        caps && gst_caps_get_size(caps) > 0 &&
        g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "audio/");
    if (caps)
        gst_caps_unref(caps);
    if (!audio)
        return;
    GstPad* sink = gst_element_get_static_pad(graph->renderTarget_, "sink");
    if (!gst_pad_is_linked(sink))
        gst_pad_link(pad, sink);
    gst_object_unref(sink);
}

HRESULT CFilterGraph::PrepareFilters() {
    if (prepared_)
        return S_OK;
    for (const Filter& f : filters_) {
        const HRESULT hr = f.gst->PrepareToRun();
        if (FAILED(hr))
            return hr;
    }
    prepared_ = true;
    return S_OK;
}

HRESULT CFilterGraph::SetPipelineState(GstState state, OAFilterState logical) {
    std::lock_guard lock(controlLock_);
    if (!renderTarget_)
        return VFW_E_WRONG_STATE; // nothing rendered yet
    const HRESULT prepared = PrepareFilters();
    if (FAILED(prepared))
        return prepared;
    state_ = logical;
    if (failed_)
        return E_FAIL; // no data will flow again: a new state would never complete
    // A pipeline told to change state while an earlier asynchronous change is still
    // under way can miss the completion of the first and then wait for ever on the
    // second. Changes are therefore made one at a time: the previous one completes (or
    // fails, or its time runs out) before the next begins.
    gst_element_get_state(pipeline_, nullptr, nullptr, kSettleTimeout);
    handlers_.Publish();
    switch (gst_element_set_state(pipeline_, state)) {
    case GST_STATE_CHANGE_SUCCESS:
    case GST_STATE_CHANGE_NO_PREROLL:
        return S_OK;
    case GST_STATE_CHANGE_ASYNC:
        return S_FALSE;
    default:
        return E_FAIL;
    }
}

HRESULT CFilterGraph::Run() {
    return SetPipelineState(GST_STATE_PLAYING, State_Running);
}

HRESULT CFilterGraph::Pause() {
    return SetPipelineState(GST_STATE_PAUSED, State_Paused);
}

// A stopped graph keeps its position, like a paused one, but does not run on Resume.
HRESULT CFilterGraph::Stop() {
    {
        std::lock_guard lock(controlLock_);
        if (GST_STATE_TARGET(pipeline_) < GST_STATE_PAUSED) {
            state_ = State_Stopped;
            return S_OK;
        }
    }
    return SetPipelineState(GST_STATE_PAUSED, State_Stopped);
}

HRESULT CFilterGraph::GetState(LONG msTimeout, OAFilterState* pfs) {
    if (!pfs)
        return E_POINTER;
    const GstClockTime timeout =
        msTimeout < 0 ? GST_CLOCK_TIME_NONE : static_cast<GstClockTime>(msTimeout) * GST_MSECOND;
    // The wait happens outside the lock, so that another thread may change the state.
    const GstStateChangeReturn result = gst_element_get_state(pipeline_, nullptr, nullptr, timeout);
    std::lock_guard lock(controlLock_);
    *pfs = state_;
    if (failed_)
        return E_FAIL;
    switch (result) {
    case GST_STATE_CHANGE_SUCCESS:
    case GST_STATE_CHANGE_NO_PREROLL:
        return S_OK;
    case GST_STATE_CHANGE_ASYNC:
        return VFW_S_STATE_INTERMEDIATE;
    default:
        return E_FAIL;
    }
}

HRESULT CFilterGraph::put_CurrentPosition(REFTIME llTime) {
    if (llTime < 0)
        return E_INVALIDARG;
    std::lock_guard lock(controlLock_);
    if (GST_STATE_TARGET(pipeline_) < GST_STATE_PAUSED)
        // Before the graph first pauses or runs it is at the start already.
        return llTime == 0 ? S_OK : VFW_E_WRONG_STATE;
    const auto position = static_cast<gint64>(llTime * GST_SECOND);
    const bool done = gst_element_seek_simple(
        pipeline_, GST_FORMAT_TIME,
        static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), position);
    return done ? S_OK : E_FAIL;
}

HRESULT CFilterGraph::GetEventHandle(OAEVENT* hEvent) {
    if (!hEvent)
        return E_POINTER;
    *hEvent = reinterpret_cast<OAEVENT>(eventHandle_);
    return S_OK;
}

HRESULT CFilterGraph::GetEvent(LONG* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2,
                               LONG msTimeout) {
    if (!lEventCode || !lParam1 || !lParam2)
        return E_POINTER;
    std::unique_lock lock(eventLock_);
    const auto waiting = [this] { return !events_.empty(); };
    if (msTimeout < 0)
        eventArrived_.wait(lock, waiting);
    else if (!eventArrived_.wait_for(lock, std::chrono::milliseconds(msTimeout), waiting))
        return E_ABORT;
    const Event event = events_.front();
    events_.pop_front();
    if (events_.empty())
        ResetEvent(eventHandle_);
    *lEventCode = event.code;
    *lParam1 = event.param1;
    *lParam2 = event.param2;
    return S_OK;
}

void CFilterGraph::QueueEvent(Event event) {
    {
        std::lock_guard lock(eventLock_);
        events_.push_back(event);
        SetEvent(eventHandle_);
    }
    eventArrived_.notify_all();
}

GstBusSyncReply CFilterGraph::OnBusMessage(GstBus*, GstMessage* message, gpointer self) {
    auto* graph = static_cast<CFilterGraph*>(self);
    HandlerScope scope(graph->handlers_);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
        graph->QueueEvent({EC_COMPLETE, S_OK, 0});
        break;
    case GST_MESSAGE_ERROR:
        // A failed stream never completes the state change it was part of: end it, so
        // that state reads and later changes do not wait for it.
        graph->failed_ = true;
        gst_element_abort_state(graph->pipeline_);
        graph->QueueEvent({EC_ERRORABORT, E_FAIL, 0});
        break;
    default:
        break;
    }
    // Nothing reads the bus itself: every message ends here. A dropped message is the
    // handler's to free, and it holds its source element.
    gst_message_unref(message);
    return GST_BUS_DROP;
}

} // namespace directshow
