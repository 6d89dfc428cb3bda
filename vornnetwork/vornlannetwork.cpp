#include "vornlannetwork.h"

#include "module.h"

#include <cstring>
#include <new>

CVornLANNetwork::CVornLANNetwork(IUnknown* pUnkOuter)
    : m_pControllingUnknown(pUnkOuter != nullptr ? pUnkOuter : &m_inner),
      m_bAggregated(pUnkOuter != nullptr),
      m_lobby([this](DPID idFrom, DPID idTarget, const NetMessage& message,
                     DWORD flags) { return SendNetMessage(idFrom, idTarget, message, flags); },
              [this](const NetMessage& message, DPID idFrom, DPID idTo) {
                  Report(message, idFrom, idTo);
              },
              [] { return GetTickCount(); }) {
    _Module.Lock();
}

CVornLANNetwork::~CVornLANNetwork() {
    _Module.Unlock();
}

HRESULT CVornLANNetwork::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
    auto* object = new (std::nothrow) CVornLANNetwork(pUnkOuter);
    if (object == nullptr) {
        return E_OUTOFMEMORY;
    }
    // The object holds a reference to itself while it is being set up, so that the
    // marshaler's calls through the controlling unknown cannot destroy it.
    object->m_inner.AddRef();
    HRESULT hr = object->FinalConstruct();
    if (SUCCEEDED(hr)) {
        hr = object->m_inner.QueryInterface(riid, ppv);
    }
    object->m_inner.Release();
    return hr;
}

HRESULT CVornLANNetwork::FinalConstruct() {
    return CoCreateFreeThreadedMarshaler(m_pControllingUnknown, &m_pUnkMarshaler);
}

void CVornLANNetwork::FinalRelease() {
    if (m_pUnkMarshaler != nullptr) {
        m_pUnkMarshaler->Release();
        m_pUnkMarshaler = nullptr;
    }
}

HRESULT CVornLANNetwork::InternalQueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    if (riid == IID_IUnknown && m_bAggregated) {
        *ppv = static_cast<IUnknown*>(&m_inner);
    } else if (riid == IID_IVornLANNetwork || riid == IID_IUnknown) {
        *ppv = static_cast<IVornLANNetwork*>(this);
    } else if (riid == IID_ISupportErrorInfo) {
        *ppv = static_cast<ISupportErrorInfo*>(this);
    } else if (riid == IID_IMarshal && m_pUnkMarshaler != nullptr) {
        return m_pUnkMarshaler->QueryInterface(riid, ppv);
    } else {
        return E_NOINTERFACE;
    }
    static_cast<IUnknown*>(*ppv)->AddRef();
    return S_OK;
}

STDMETHODIMP CVornLANNetwork::InnerUnknown::QueryInterface(REFIID riid, void** ppv) {
    return owner_->InternalQueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) CVornLANNetwork::InnerUnknown::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&owner_->m_dwRef));
}

STDMETHODIMP_(ULONG) CVornLANNetwork::InnerUnknown::Release() {
    const LONG refs = InterlockedDecrement(&owner_->m_dwRef);
    if (refs == 0) {
        // Guards against a release during FinalRelease reaching zero again.
        owner_->m_dwRef = 1;
        owner_->FinalRelease();
        delete owner_;
    }
    return static_cast<ULONG>(refs);
}

STDMETHODIMP CVornLANNetwork::QueryInterface(REFIID riid, void** ppv) {
    return m_pControllingUnknown->QueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) CVornLANNetwork::AddRef() {
    return m_pControllingUnknown->AddRef();
}

STDMETHODIMP_(ULONG) CVornLANNetwork::Release() {
    return m_pControllingUnknown->Release();
}

STDMETHODIMP CVornLANNetwork::InterfaceSupportsErrorInfo(REFIID riid) {
    return riid == IID_IVornLANNetwork ? S_OK : S_FALSE;
}

STDMETHODIMP CVornLANNetwork::Receive(UINT, UINT, UINT*, BYTE*, INT*) {
    // Received messages reach the game through its window and the voice chat handler.
    return S_OK;
}

STDMETHODIMP CVornLANNetwork::SetAddress(LPWSTR strAddress) {
    // The caller passes a byte string despite the declared type; longer addresses are
    // cut to the 127 characters the field holds.
    const char* address = reinterpret_cast<const char*>(strAddress);
    if (address == nullptr) {
        address = "";
    }
    const size_t length = strnlen(address, sizeof szAddress - 1);
    std::memcpy(szAddress, address, length);
    std::memset(szAddress + length, 0, sizeof szAddress - length);
    return S_OK;
}

STDMETHODIMP CVornLANNetwork::SetVoiceChatHandler(ULONG_PTR handler) {
    // The value is the address of the game's handler; 0 removes it. The receive thread
    // reads the pointer without a lock: one aligned store.
    __atomic_store_n(&pfnVoiceChatHandler, reinterpret_cast<VoiceChatHandler>(handler),
                     __ATOMIC_RELEASE);
    return S_OK;
}
