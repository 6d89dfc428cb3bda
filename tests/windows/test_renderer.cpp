// The smoke test's renderer DLL: one class, the reference renderer's. Its objects aggregate
// the system's null renderer, which does the rendering in real time and reports the end of
// the stream, and add two things: the renderer's private interface, and an input pin that
// takes audio only (the null renderer takes anything, even the file's raw bytes, which
// would leave the graph without a parser and the piece without an end).
#include "test_renderer.h"

#include <directshow/renderer.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <new>

namespace {

// {C1F400A4-3F08-11D3-9F0B-006008039E37}: the null renderer of the system's DirectShow.
constexpr CLSID CLSID_NullRenderer{
    0xc1f400a4, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};

std::atomic<LONG> liveObjects{0};

class TestRenderer;

// The null renderer's input pin, refusing every connection but audio. Its identity and
// count are the renderer's, as a pin's are its filter's.
class AudioPin final : public IPin {
public:
    AudioPin(IUnknown& owner, IBaseFilter& filter) : owner_(owner), filter_(filter) {}
    void Wrap(IPin* inner) { inner_ = inner; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IPin) {
            *ppv = static_cast<IPin*>(this);
            AddRef();
            return S_OK;
        }
        return inner_->QueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return owner_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return owner_.Release(); }

    HRESULT STDMETHODCALLTYPE Connect(IPin* pin, const AM_MEDIA_TYPE* mt) override {
        return inner_->Connect(pin, mt);
    }
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* pin, const AM_MEDIA_TYPE* mt) override {
        if (!mt || mt->majortype != MEDIATYPE_Audio)
            return VFW_E_TYPE_NOT_ACCEPTED;
        return inner_->ReceiveConnection(pin, mt);
    }
    HRESULT STDMETHODCALLTYPE Disconnect() override { return inner_->Disconnect(); }
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override { return inner_->ConnectedTo(pin); }
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* mt) override {
        return inner_->ConnectionMediaType(mt);
    }
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override {
        const HRESULT hr = inner_->QueryPinInfo(info);
        if (SUCCEEDED(hr) && info->pFilter) {
            info->pFilter->Release();
            info->pFilter = &filter_;
            filter_.AddRef();
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override {
        return inner_->QueryDirection(direction);
    }
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override { return inner_->QueryId(id); }
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* mt) override {
        return mt && mt->majortype == MEDIATYPE_Audio ? inner_->QueryAccept(mt) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override {
        return inner_->EnumMediaTypes(types);
    }
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** pins, ULONG* count) override {
        return inner_->QueryInternalConnections(pins, count);
    }
    HRESULT STDMETHODCALLTYPE EndOfStream() override { return inner_->EndOfStream(); }
    HRESULT STDMETHODCALLTYPE BeginFlush() override { return inner_->BeginFlush(); }
    HRESULT STDMETHODCALLTYPE EndFlush() override { return inner_->EndFlush(); }
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop,
                                         double rate) override {
        return inner_->NewSegment(start, stop, rate);
    }

private:
    IUnknown& owner_;
    IBaseFilter& filter_;
    IPin* inner_ = nullptr; // held through the owner's reference on the null renderer
};

// Lists the one pin.
class PinList final : public IEnumPins {
public:
    PinList(IPin& pin, ULONG position) : pin_(pin), position_(position) { pin_.AddRef(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IEnumPins) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** pins, ULONG* fetched) override {
        ULONG given = 0;
        if (count > 0 && position_ == 0) {
            pins[0] = &pin_;
            pin_.AddRef();
            given = 1;
            position_ = 1;
        }
        if (fetched)
            *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        const bool enough = position_ + count <= 1;
        position_ = enough ? position_ + count : 1;
        return enough ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumPins** copy) override {
        *copy = new (std::nothrow) PinList(pin_, position_);
        return *copy ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~PinList() { pin_.Release(); }

    IPin& pin_;
    ULONG position_;
    std::atomic<ULONG> references_{1};
};

class TestRenderer final : public IRendererControl, public IBaseFilter {
public:
    static HRESULT Create(REFIID riid, void** ppv) {
        auto* renderer = new (std::nothrow) TestRenderer;
        if (!renderer)
            return E_OUTOFMEMORY;
        HRESULT hr = renderer->Aggregate();
        if (SUCCEEDED(hr))
            hr = renderer->QueryInterface(riid, ppv);
        renderer->Release();
        return hr;
    }

    // IUnknown, for both interfaces.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IRendererControl)
            *ppv = static_cast<IRendererControl*>(this);
        else if (riid == IID_IBaseFilter || riid == IID_IMediaFilter || riid == IID_IPersist)
            *ppv = static_cast<IBaseFilter*>(this);
        else
            return inner_ ? inner_->QueryInterface(riid, ppv) : E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            references_ = 1; // the null renderer's clean-up may count on this object
            if (inner_)
                inner_->Release();
            delete this;
        }
        return left;
    }

    // The renderer's private interface.
    HRESULT STDMETHODCALLTYPE SetOutput(const void* rendererParam) override {
        param_ = static_cast<TestRendererParam*>(const_cast<void*>(rendererParam));
        if (!param_)
            return E_POINTER;
        ++param_->outputCalls;
        param_->lastOutput = rendererParam;
        return param_->refuseOutput ? E_FAIL : S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetVolume(LONG volume) override {
        if (!param_)
            return E_UNEXPECTED;
        param_->volume = volume;
        ++param_->volumeCalls;
        return S_OK;
    }

    // IBaseFilter: the null renderer's, with the audio pin in place of its own.
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
        *clsid = CLSID_ReferenceRenderer;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Stop() override { return filter_->Stop(); }
    HRESULT STDMETHODCALLTYPE Pause() override { return filter_->Pause(); }
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override { return filter_->Run(start); }
    HRESULT STDMETHODCALLTYPE GetState(DWORD timeout, FILTER_STATE* state) override {
        return filter_->GetState(timeout, state);
    }
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override {
        return filter_->SetSyncSource(clock);
    }
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override {
        return filter_->GetSyncSource(clock);
    }
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override {
        *pins = new (std::nothrow) PinList(pin_, 0);
        return *pins ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** pin) override {
        IPin* found = nullptr;
        const HRESULT hr = filter_->FindPin(id, &found);
        *pin = nullptr;
        if (FAILED(hr))
            return hr;
        found->Release();
        *pin = &pin_;
        pin_.AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override {
        return filter_->QueryFilterInfo(info);
    }
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override {
        return filter_->JoinFilterGraph(graph, name);
    }
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* info) override {
        return filter_->QueryVendorInfo(info);
    }

private:
    TestRenderer() : pin_(*static_cast<IRendererControl*>(this), *this) { ++liveObjects; }
    ~TestRenderer() { --liveObjects; }

    // Creates the null renderer inside this object. Its filter and pin interfaces count on
    // this object, so the pointers kept to them give their counts back at once.
    HRESULT Aggregate() {
        HRESULT hr =
            CoCreateInstance(CLSID_NullRenderer, static_cast<IRendererControl*>(this),
                             CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&inner_));
        if (FAILED(hr))
            return hr;
        hr = inner_->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter_));
        if (FAILED(hr))
            return hr;
        Release();
        IEnumPins* pins = nullptr;
        IPin* pin = nullptr;
        hr = filter_->EnumPins(&pins);
        if (FAILED(hr))
            return hr;
        hr = pins->Next(1, &pin, nullptr);
        pins->Release();
        if (hr != S_OK)
            return FAILED(hr) ? hr : E_UNEXPECTED;
        pin->Release();
        pin_.Wrap(pin);
        return S_OK;
    }

    std::atomic<ULONG> references_{1};
    IUnknown* inner_ = nullptr;
    IBaseFilter* filter_ = nullptr;
    AudioPin pin_;
    TestRendererParam* param_ = nullptr;
};

class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        return outer ? CLASS_E_NOAGGREGATION : TestRenderer::Create(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lock ? ++liveObjects : --liveObjects;
        return S_OK;
    }
};

Factory factory;

} // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (rclsid != CLSID_ReferenceRenderer) {
        *ppv = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return factory.QueryInterface(riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return liveObjects == 0 ? S_OK : S_FALSE;
}
