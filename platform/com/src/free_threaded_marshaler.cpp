#include "objbase.h"
#include "windows.h"

#include <new>

namespace {

// The free-threaded marshaler, always aggregated: its own IUnknown (returned to the
// outer object) answers IUnknown and IMarshal; its IMarshal delegates IUnknown to the
// outer object. Within the process the marshaled form is the interface pointer itself,
// so the object is reached directly from every apartment.
class FreeThreadedMarshaler final : public IMarshal {
public:
    explicit FreeThreadedMarshaler(IUnknown* outer) : outer_(outer), inner_(this) {}

    IUnknown* Inner() { return &inner_; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        return outer_->QueryInterface(riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return outer_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return outer_->Release(); }

    STDMETHODIMP GetUnmarshalClass(REFIID, void*, DWORD, void*, DWORD, CLSID* pCid) override {
        if (pCid == nullptr) {
            return E_POINTER;
        }
        *pCid = CLSID_InProcFreeMarshaler;
        return S_OK;
    }

    STDMETHODIMP GetMarshalSizeMax(REFIID, void*, DWORD, void*, DWORD, DWORD* pSize) override {
        if (pSize == nullptr) {
            return E_POINTER;
        }
        *pSize = sizeof(IID) + sizeof(void*);
        return S_OK;
    }

    STDMETHODIMP MarshalInterface(IStream* pStm, REFIID riid, void* pv, DWORD dwDestContext, void*,
                                  DWORD) override {
        if (pStm == nullptr || pv == nullptr) {
            return E_POINTER;
        }
        if (dwDestContext == MSHCTX_DIFFERENTMACHINE) {
            return E_NOTIMPL; // there is no standard marshaling to another machine
        }
        IUnknown* object = nullptr;
        HRESULT hr =
            static_cast<IUnknown*>(pv)->QueryInterface(riid, reinterpret_cast<void**>(&object));
        if (FAILED(hr)) {
            return hr;
        }
        // The stream keeps the reference until it is unmarshaled or released.
        hr = pStm->Write(&riid, sizeof(IID), nullptr);
        if (SUCCEEDED(hr)) {
            hr = pStm->Write(&object, sizeof object, nullptr);
        }
        if (FAILED(hr)) {
            object->Release();
        }
        return hr;
    }

    STDMETHODIMP UnmarshalInterface(IStream* pStm, REFIID riid, void** ppv) override {
        if (ppv == nullptr) {
            return E_POINTER;
        }
        *ppv = nullptr;
        IUnknown* object = nullptr;
        const HRESULT hr = ReadMarshaled(pStm, object);
        if (FAILED(hr)) {
            return hr;
        }
        const HRESULT result = object->QueryInterface(riid, ppv);
        object->Release();
        return result;
    }

    STDMETHODIMP ReleaseMarshalData(IStream* pStm) override {
        IUnknown* object = nullptr;
        const HRESULT hr = ReadMarshaled(pStm, object);
        if (SUCCEEDED(hr)) {
            object->Release();
        }
        return hr;
    }

    STDMETHODIMP DisconnectObject(DWORD) override { return S_OK; }

private:
    static HRESULT ReadMarshaled(IStream* pStm, IUnknown*& object) {
        if (pStm == nullptr) {
            return E_POINTER;
        }
        IID iid{};
        ULONG read = 0;
        HRESULT hr = pStm->Read(&iid, sizeof iid, &read);
        if (SUCCEEDED(hr) && read == sizeof iid) {
            hr = pStm->Read(&object, sizeof object, &read);
        }
        if (FAILED(hr)) {
            return hr;
        }
        return read == sizeof object && object != nullptr ? S_OK : E_UNEXPECTED;
    }

    class InnerUnknown final : public IUnknown {
    public:
        explicit InnerUnknown(FreeThreadedMarshaler* owner) : owner_(owner) {}

        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
            if (ppv == nullptr) {
                return E_POINTER;
            }
            if (riid == IID_IUnknown) {
                *ppv = static_cast<IUnknown*>(this);
            } else if (riid == IID_IMarshal) {
                *ppv = static_cast<IMarshal*>(Owner());
            } else {
                *ppv = nullptr;
                return E_NOINTERFACE;
            }
            static_cast<IUnknown*>(*ppv)->AddRef();
            return S_OK;
        }
        STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
        STDMETHODIMP_(ULONG) Release() override {
            const LONG refs = InterlockedDecrement(&refs_);
            if (refs == 0) {
                delete Owner();
            }
            return static_cast<ULONG>(refs);
        }

    private:
        FreeThreadedMarshaler* Owner() const { return owner_; }

        FreeThreadedMarshaler* owner_;
        LONG volatile refs_ = 1;
    };

    IUnknown* outer_;
    InnerUnknown inner_;
};

} // namespace

HRESULT WINAPI CoCreateFreeThreadedMarshaler(LPUNKNOWN punkOuter, LPUNKNOWN* ppunkMarshal) {
    if (ppunkMarshal == nullptr) {
        return E_POINTER;
    }
    *ppunkMarshal = nullptr;
    if (punkOuter == nullptr) {
        // Standing alone it would have no object to hand out.
        return E_INVALIDARG;
    }
    auto* marshaler = new (std::nothrow) FreeThreadedMarshaler(punkOuter);
    if (marshaler == nullptr) {
        return E_OUTOFMEMORY;
    }
    *ppunkMarshal = marshaler->Inner();
    return S_OK;
}
