// The DirectPlay lobby: IDirectPlayLobby3A and DirectPlay addresses.
#pragma once

#include "dplay.h"

constexpr CLSID CLSID_DirectPlayLobby{
    0x2fe8f810, 0xb2a5, 0x11d0, {0xa7, 0x87, 0x00, 0x00, 0xf8, 0x03, 0xab, 0xfc}};
constexpr IID IID_IDirectPlayLobby3{
    0x2db72490, 0x652c, 0x11d1, {0xa7, 0xa8, 0x00, 0x00, 0xf8, 0x03, 0xab, 0xfc}};
constexpr IID IID_IDirectPlayLobby3A{
    0x2db72491, 0x652c, 0x11d1, {0xa7, 0xa8, 0x00, 0x00, 0xf8, 0x03, 0xab, 0xfc}};

// Address data types. An address is a sequence of DPADDRESS chunks, each followed by its
// dwDataSize bytes; the first chunk is always DPAID_TotalSize.
constexpr GUID DPAID_TotalSize{
    0x1318f560, 0x912c, 0x11d0, {0x9d, 0xaa, 0x00, 0xa0, 0xc9, 0x0a, 0x43, 0xcb}};
constexpr GUID DPAID_ServiceProvider{
    0x07d916c0, 0xe0af, 0x11cf, {0x9c, 0x4e, 0x00, 0xa0, 0xc9, 0x05, 0x42, 0x5e}};
constexpr GUID DPAID_INet{
    0xc4a54da0, 0xe0af, 0x11cf, {0x9c, 0x4e, 0x00, 0xa0, 0xc9, 0x05, 0x42, 0x5e}};
constexpr GUID DPAID_INetPort{
    0xe4524541, 0x8ea5, 0x11d1, {0x8a, 0x96, 0x00, 0x60, 0x97, 0xb0, 0x14, 0x11}};

#pragma pack(push, 1)
struct DPADDRESS {
    GUID guidDataType;
    DWORD dwDataSize;
};
#pragma pack(pop)
using LPDPADDRESS = DPADDRESS*;

struct DPCOMPOUNDADDRESSELEMENT {
    GUID guidDataType;
    DWORD dwDataSize;
    LPVOID lpData;
};
using LPCDPCOMPOUNDADDRESSELEMENT = const DPCOMPOUNDADDRESSELEMENT*;

struct IDirectPlay2;
using LPDIRECTPLAY2 = IDirectPlay2*;

using LPDPENUMADDRESSCALLBACK = BOOL(CALLBACK*)(REFGUID guidDataType, DWORD dwDataSize,
                                                LPCVOID lpData, LPVOID lpContext);
using LPDPLENUMADDRESSTYPESCALLBACK = BOOL(CALLBACK*)(REFGUID guidDataType, LPVOID lpContext,
                                                      DWORD dwFlags);
struct DPLAPPINFO;
using LPCDPLAPPINFO = const DPLAPPINFO*;
using LPDPLENUMLOCALAPPLICATIONSCALLBACK = BOOL(CALLBACK*)(LPCDPLAPPINFO lpAppInfo,
                                                           LPVOID lpContext, DWORD dwFlags);

// IDirectPlayLobbyA, IDirectPlayLobby2A and IDirectPlayLobby3A in one vtable.
struct IDirectPlayLobby3A : IUnknown {
    // IDirectPlayLobbyA
    virtual HRESULT STDMETHODCALLTYPE Connect(DWORD dwFlags, LPDIRECTPLAY2* lplpDP,
                                              IUnknown* pUnk) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateAddress(REFGUID guidSP, REFGUID guidDataType,
                                                    LPCVOID lpData, DWORD dwDataSize,
                                                    LPVOID lpAddress, LPDWORD lpdwAddressSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumAddress(LPDPENUMADDRESSCALLBACK lpEnumAddressCallback,
                                                  LPCVOID lpAddress, DWORD dwAddressSize,
                                                  LPVOID lpContext) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    EnumAddressTypes(LPDPLENUMADDRESSTYPESCALLBACK lpEnumAddressTypeCallback, REFGUID guidSP,
                     LPVOID lpContext, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    EnumLocalApplications(LPDPLENUMLOCALAPPLICATIONSCALLBACK lpEnumLocalAppCallback,
                          LPVOID lpContext, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetConnectionSettings(DWORD dwAppID, LPVOID lpData,
                                                            LPDWORD lpdwDataSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReceiveLobbyMessage(DWORD dwFlags, DWORD dwAppID,
                                                          LPDWORD lpdwMessageFlags, LPVOID lpData,
                                                          LPDWORD lpdwDataSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE RunApplication(DWORD dwFlags, LPDWORD lpdwAppId,
                                                     LPDPLCONNECTION lpConn,
                                                     HANDLE hReceiveEvent) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendLobbyMessage(DWORD dwFlags, DWORD dwAppID, LPVOID lpData,
                                                       DWORD dwDataSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetConnectionSettings(DWORD dwFlags, DWORD dwAppID,
                                                            LPDPLCONNECTION lpConn) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetLobbyMessageEvent(DWORD dwFlags, DWORD dwAppID,
                                                           HANDLE hReceiveEvent) = 0;
    // IDirectPlayLobby2A
    virtual HRESULT STDMETHODCALLTYPE CreateCompoundAddress(LPCDPCOMPOUNDADDRESSELEMENT lpElements,
                                                            DWORD dwElementCount, LPVOID lpAddress,
                                                            LPDWORD lpdwAddressSize) = 0;
    // IDirectPlayLobby3A
    virtual HRESULT STDMETHODCALLTYPE ConnectEx(DWORD dwFlags, REFIID riid, LPVOID* lplpDP,
                                                IUnknown* pUnk) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterApplication(DWORD dwFlags, LPVOID lpAppDesc) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnregisterApplication(DWORD dwFlags,
                                                            REFGUID guidApplication) = 0;
    virtual HRESULT STDMETHODCALLTYPE WaitForConnectionSettings(DWORD dwFlags) = 0;

protected:
    ~IDirectPlayLobby3A() = default;
};
using LPDIRECTPLAYLOBBY3A = IDirectPlayLobby3A*;
