#include "classfactory.h"

#include <new>

HRESULT CVornClassFactory::Create(Creator creator, REFIID riid, void** ppv) {
    auto* factory = new (std::nothrow) CVornClassFactory(creator);
    if (factory == nullptr) {
        return E_OUTOFMEMORY;
    }
    factory->AddRef();
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

STDMETHODIMP CVornClassFactory::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CVornClassFactory::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_dwRef));
}

STDMETHODIMP_(ULONG) CVornClassFactory::Release() {
    const LONG refs = InterlockedDecrement(&m_dwRef);
    if (refs == 0) {
        delete this;
    }
    return static_cast<ULONG>(refs);
}

STDMETHODIMP CVornClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    if (pUnkOuter != nullptr && riid != IID_IUnknown) {
        return CLASS_E_NOAGGREGATION;
    }
    return m_pfnCreateInstance(pUnkOuter, riid, ppv);
}

STDMETHODIMP CVornClassFactory::LockServer(BOOL fLock) {
    if (fLock) {
        _Module.Lock();
    } else {
        _Module.Unlock();
    }
    return S_OK;
}
