// Automation interfaces of the filter graph: IMediaControl, IMediaEvent, IMediaPosition,
// in DirectShow's vtable order.
#pragma once

#include <objbase.h>

using OAEVENT = LONG_PTR;
using OAFilterState = LONG;
using REFTIME = double;
using BSTR = WCHAR*;

constexpr HRESULT VFW_S_STATE_INTERMEDIATE = 0x00040237;
constexpr HRESULT VFW_E_NOT_IN_GRAPH = static_cast<HRESULT>(0x8004025F);
constexpr HRESULT VFW_E_WRONG_STATE = static_cast<HRESULT>(0x80040227);
constexpr HRESULT VFW_E_CANNOT_RENDER = static_cast<HRESULT>(0x80040218);
constexpr HRESULT VFW_E_NOT_FOUND = static_cast<HRESULT>(0x80040216);

constexpr IID IID_IMediaControl{
    0x56a868b1, 0x0ad4, 0x11ce, {0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
constexpr IID IID_IMediaEvent{
    0x56a868b6, 0x0ad4, 0x11ce, {0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
constexpr IID IID_IMediaPosition{
    0x56a868b2, 0x0ad4, 0x11ce, {0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};

// The four IDispatch slots that precede the methods of every automation interface.
// The filter graph offers no type information; these slots answer E_NOTIMPL.
struct IDispatchSlots : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, void** ppTInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, WCHAR** rgszNames, UINT cNames,
                                                    LCID lcid, LONG* rgDispId) = 0;
    virtual HRESULT STDMETHODCALLTYPE Invoke(LONG dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                             void* pDispParams, void* pVarResult, void* pExcepInfo,
                                             UINT* puArgErr) = 0;

protected:
    ~IDispatchSlots() = default;
};

struct IMediaControl : IDispatchSlots {
    virtual HRESULT STDMETHODCALLTYPE Run() = 0;
    virtual HRESULT STDMETHODCALLTYPE Pause() = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetState(LONG msTimeout, OAFilterState* pfs) = 0;
    virtual HRESULT STDMETHODCALLTYPE RenderFile(BSTR strFilename) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddSourceFilter(BSTR strFilename, IUnknown** ppUnk) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_FilterCollection(IUnknown** ppUnk) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_RegFilterCollection(IUnknown** ppUnk) = 0;
    virtual HRESULT STDMETHODCALLTYPE StopWhenReady() = 0;

protected:
    ~IMediaControl() = default;
};

struct IMediaEvent : IDispatchSlots {
    virtual HRESULT STDMETHODCALLTYPE GetEventHandle(OAEVENT* hEvent) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEvent(LONG* lEventCode, LONG_PTR* lParam1,
                                               LONG_PTR* lParam2, LONG msTimeout) = 0;
    virtual HRESULT STDMETHODCALLTYPE WaitForCompletion(LONG msTimeout, LONG* pEvCode) = 0;
    virtual HRESULT STDMETHODCALLTYPE CancelDefaultHandling(LONG lEvCode) = 0;
    virtual HRESULT STDMETHODCALLTYPE RestoreDefaultHandling(LONG lEvCode) = 0;
    virtual HRESULT STDMETHODCALLTYPE FreeEventParams(LONG lEvCode, LONG_PTR lParam1,
                                                      LONG_PTR lParam2) = 0;

protected:
    ~IMediaEvent() = default;
};

struct IMediaPosition : IDispatchSlots {
    virtual HRESULT STDMETHODCALLTYPE get_Duration(REFTIME* plength) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CurrentPosition(REFTIME llTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CurrentPosition(REFTIME* pllTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_StopTime(REFTIME* pllTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_StopTime(REFTIME llTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PrerollTime(REFTIME* pllTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_PrerollTime(REFTIME llTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Rate(double dRate) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Rate(double* pdRate) = 0;
    virtual HRESULT STDMETHODCALLTYPE CanSeekForward(LONG* pCanSeekForward) = 0;
    virtual HRESULT STDMETHODCALLTYPE CanSeekBackward(LONG* pCanSeekBackward) = 0;

protected:
    ~IMediaPosition() = default;
};
