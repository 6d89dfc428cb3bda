// The interfaces and identifiers of VornNetwork, as its clients see them.
#pragma once

#include "objbase.h"

// {5B3F2C60-8E0A-4C7D-9A41-2F6D1B8E7C01}
constexpr GUID LIBID_VORNNETWORKLib{
    0x5B3F2C60, 0x8E0A, 0x4C7D, {0x9A, 0x41, 0x2F, 0x6D, 0x1B, 0x8E, 0x7C, 0x01}};
constexpr IID IID_IVornPoolNetwork{
    0x5B3F2C61, 0x8E0A, 0x4C7D, {0x9A, 0x41, 0x2F, 0x6D, 0x1B, 0x8E, 0x7C, 0x01}};
constexpr IID IID_IVornLANNetwork{
    0x5B3F2C62, 0x8E0A, 0x4C7D, {0x9A, 0x41, 0x2F, 0x6D, 0x1B, 0x8E, 0x7C, 0x01}};
constexpr CLSID CLSID_VornPoolNetwork{
    0x5B3F2C63, 0x8E0A, 0x4C7D, {0x9A, 0x41, 0x2F, 0x6D, 0x1B, 0x8E, 0x7C, 0x01}};
constexpr CLSID CLSID_VornLANNetwork{
    0x5B3F2C64, 0x8E0A, 0x4C7D, {0x9A, 0x41, 0x2F, 0x6D, 0x1B, 0x8E, 0x7C, 0x01}};

struct IVornLANNetwork : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Send(UINT idTo, UINT idFrom, UINT cmd, BYTE* pData,
                                           INT nDataSize, LONG bGuaranteed) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendToGroup(UINT idGroup, UINT idFrom, UINT cmd, BYTE* data,
                                                  INT nDataSize, LONG bGuaranteed) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendToAll(UINT idFrom, UINT cmd, BYTE* data, INT nDataSize,
                                                LONG bGuaranteed) = 0;
    virtual HRESULT STDMETHODCALLTYPE Receive(UINT idTo, UINT idFrom, UINT* pCmd, BYTE* data,
                                              INT* pnDataSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE Open(IUnknown* pDirectPlay, GUID* pAppGUID, INT protocolType,
                                           BYTE* pPlayerInfo, BYTE* pGameInfo, HWND hParentWnd) = 0;
    virtual HRESULT STDMETHODCALLTYPE Close(INT idGroup, INT idPlayer) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetAddress(LPWSTR strAddress) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetVoiceChatHandler(ULONG handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendToServer(UINT idFrom, UINT cmd, BYTE* pData,
                                                   INT nDataSize, LONG bGuaranteed) = 0;

protected:
    ~IVornLANNetwork() = default;
};
