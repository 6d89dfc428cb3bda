// Reference counting and a class factory shared by the platform's COM classes.
#pragma once

#include <objbase.h>

#include <atomic>
#include <new>

namespace directshow {

// Counts references for a class whose QueryInterface is its own; the object deletes
// itself at the last Release.
template <typename Derived> class RefCounted {
public:
    ULONG AddRefImpl() { return ++refs_; }
    ULONG ReleaseImpl() {
        const ULONG left = --refs_;
        if (left == 0)
            delete static_cast<Derived*>(this);
        return left;
    }

private:
    std::atomic<ULONG> refs_{1};
};

// A class factory for a class with `static HRESULT Create(REFIID, void**)`.
template <typename T> class ClassFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is a static object of the platform: it lives as long as the process.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return T::Create(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

// Creates a T, hands out the interface asked for and drops the creation reference.
template <typename T, typename... Args>
HRESULT CreateAndQuery(REFIID riid, void** ppv, Args&&... args) {
    T* object = new (std::nothrow) T(std::forward<Args>(args)...);
    if (!object)
        return E_OUTOFMEMORY;
    HRESULT hr = object->Initialize();
    if (SUCCEEDED(hr))
        hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

} // namespace directshow
