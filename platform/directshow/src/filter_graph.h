// The filter graph manager: a GStreamer pipeline "filesrc ! decodebin ! <renderer bin>".
#pragma once

#include "com_object.h"
#include "gst_filter.h"
#include "handler_sync.h"

#include <dshow.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace directshow {

class CFilterGraph final : public IGraphBuilder,
                           public IMediaControl,
                           public IMediaEvent,
                           public IMediaPosition,
                           private RefCounted<CFilterGraph> {
public:
    static HRESULT Create(REFIID riid, void** ppv);
    HRESULT Initialize();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

    // IFilterGraph
    HRESULT STDMETHODCALLTYPE AddFilter(IBaseFilter* pFilter, LPCWSTR pName) override;
    HRESULT STDMETHODCALLTYPE RemoveFilter(IBaseFilter* pFilter) override;
    HRESULT STDMETHODCALLTYPE EnumFilters(IEnumFilters**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindFilterByName(LPCWSTR, IBaseFilter**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Reconnect(IPin*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Disconnect(IPin*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetDefaultSyncSource() override { return E_NOTIMPL; }

    // IGraphBuilder
    HRESULT STDMETHODCALLTYPE Connect(IPin*, IPin*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Render(IPin*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RenderFile(LPCWSTR lpcwstrFile, LPCWSTR lpcwstrPlayList) override;
    HRESULT STDMETHODCALLTYPE AddSourceFilter(LPCWSTR, LPCWSTR, IBaseFilter**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetLogFile(DWORD_PTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Abort() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ShouldOperationContinue() override { return E_NOTIMPL; }

    // IDispatch slots of the automation interfaces
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, WCHAR**, UINT, LCID, LONG*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(LONG, REFIID, LCID, WORD, void*, void*, void*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    // IMediaControl
    HRESULT STDMETHODCALLTYPE Run() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE GetState(LONG msTimeout, OAFilterState* pfs) override;
    HRESULT STDMETHODCALLTYPE RenderFile(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddSourceFilter(BSTR, IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_FilterCollection(IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RegFilterCollection(IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE StopWhenReady() override { return E_NOTIMPL; }

    // IMediaEvent
    HRESULT STDMETHODCALLTYPE GetEventHandle(OAEVENT* hEvent) override;
    HRESULT STDMETHODCALLTYPE GetEvent(LONG* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2,
                                       LONG msTimeout) override;
    HRESULT STDMETHODCALLTYPE WaitForCompletion(LONG, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CancelDefaultHandling(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RestoreDefaultHandling(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FreeEventParams(LONG, LONG_PTR, LONG_PTR) override { return S_OK; }

    // IMediaPosition
    HRESULT STDMETHODCALLTYPE get_Duration(REFTIME*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_CurrentPosition(REFTIME llTime) override;
    HRESULT STDMETHODCALLTYPE get_CurrentPosition(REFTIME*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_StopTime(REFTIME*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_StopTime(REFTIME) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_PrerollTime(REFTIME*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_PrerollTime(REFTIME) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Rate(double) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Rate(double*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanSeekForward(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanSeekBackward(LONG*) override { return E_NOTIMPL; }

private:
    friend class RefCounted<CFilterGraph>;
    template <typename T, typename... Args>
    friend HRESULT CreateAndQuery(REFIID, void**, Args&&...);
    CFilterGraph() = default;
    ~CFilterGraph();

    struct Filter {
        IBaseFilter* filter; // counted
        IGstFilter* gst;     // counted
    };
    struct Event {
        LONG code;
        LONG_PTR param1;
        LONG_PTR param2;
    };

    // The longest a state change waits for the one before it to complete.
    static constexpr GstClockTime kSettleTimeout = 5 * GST_SECOND;

    HRESULT SetPipelineState(GstState state, OAFilterState logical);
    HRESULT PrepareFilters();
    void QueueEvent(Event event);
    static GstBusSyncReply OnBusMessage(GstBus* bus, GstMessage* message, gpointer self);
    static void OnDecodedPad(GstElement* decoder, GstPad* pad, gpointer self);

    // Control calls may come from several threads; the streaming threads touch only
    // renderTarget_ (fixed before any data flows) and the event queue.
    std::mutex controlLock_;
    HandlerSync handlers_;               // the bus and pad handlers' view of this object
    GstElement* pipeline_ = nullptr;     // owned reference
    GstElement* renderTarget_ = nullptr; // owned reference: the renderer's bin
    std::vector<Filter> filters_;
    bool prepared_ = false;
    std::atomic<bool> failed_ = false;    // set by the bus handler on a stream error
    OAFilterState state_ = State_Stopped; // what the application last asked for

    HANDLE eventHandle_ = nullptr; // manual-reset: signalled while events wait
    std::mutex eventLock_;
    std::condition_variable eventArrived_;
    std::deque<Event> events_;
};

} // namespace directshow
