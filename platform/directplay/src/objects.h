// The COM objects of the stand-in.
#pragma once

#include "dplobby.h"

#include <atomic>
#include <new>

namespace directplay {

HRESULT CreateDirectPlay(REFIID riid, void** object);
HRESULT CreateDirectPlayLobby(REFIID riid, void** object);

// Reference counting and QueryInterface shared by the stand-in's objects.
template <typename Interface, const IID& iid> class ComObject : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (riid != IID_IUnknown && riid != iid) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG remaining = --references_;
        if (remaining == 0) {
            delete this;
        }
        return remaining;
    }

protected:
    virtual ~ComObject() = default;

private:
    std::atomic<ULONG> references_{1};
};

// Creates T and hands out the requested interface; the caller's reference is the only one.
template <typename T> HRESULT CreateObject(REFIID riid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    auto* created = new (std::nothrow) T();
    if (created == nullptr) {
        *object = nullptr;
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = created->QueryInterface(riid, object);
    created->Release();
    return hr;
}

} // namespace directplay
