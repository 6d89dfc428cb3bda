// The standard class factory of the object map's classes.
#pragma once

#include "module.h"

class CVornClassFactory final : public IClassFactory {
public:
    using Creator = HRESULT (*)(IUnknown* pUnkOuter, REFIID riid, void** ppv);

    // The class object of the class whose instances `creator` makes.
    static HRESULT Create(Creator creator, REFIID riid, void** ppv);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL fLock) override;

private:
    explicit CVornClassFactory(Creator creator) : m_pfnCreateInstance(creator) {}
    ~CVornClassFactory() = default;

    LONG volatile m_dwRef = 0;
    Creator m_pfnCreateInstance;
};
