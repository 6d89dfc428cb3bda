// DirectPlay: IDirectPlay4A, its structures, system messages and constants.
// Structures keep the documented field order; those that hold pointers take their natural
// size on this target, so dwSize is always sizeof(the structure).
#pragma once

#include "objbase.h"

using DPID = DWORD;
using LPDPID = DPID*;
using LPCGUID = const GUID*;
using LPDWORD_PTR = DWORD_PTR*;

// Facility 0x877, DirectPlay's own.
constexpr HRESULT MAKE_DPHRESULT(DWORD code) {
    return static_cast<HRESULT>(0x88770000u | code);
}

constexpr HRESULT DP_OK = S_OK;
constexpr HRESULT DPERR_ALREADYINITIALIZED = MAKE_DPHRESULT(5);
constexpr HRESULT DPERR_ACCESSDENIED = MAKE_DPHRESULT(10);
constexpr HRESULT DPERR_ACTIVEPLAYERS = MAKE_DPHRESULT(20);
constexpr HRESULT DPERR_BUFFERTOOSMALL = MAKE_DPHRESULT(30);
constexpr HRESULT DPERR_CANTADDPLAYER = MAKE_DPHRESULT(40);
constexpr HRESULT DPERR_CANTCREATEGROUP = MAKE_DPHRESULT(50);
constexpr HRESULT DPERR_CANTCREATEPLAYER = MAKE_DPHRESULT(60);
constexpr HRESULT DPERR_CANTCREATESESSION = MAKE_DPHRESULT(70);
constexpr HRESULT DPERR_CAPSNOTAVAILABLEYET = MAKE_DPHRESULT(80);
constexpr HRESULT DPERR_EXCEPTION = MAKE_DPHRESULT(90);
constexpr HRESULT DPERR_GENERIC = E_FAIL;
constexpr HRESULT DPERR_INVALIDFLAGS = MAKE_DPHRESULT(120);
constexpr HRESULT DPERR_INVALIDOBJECT = MAKE_DPHRESULT(130);
constexpr HRESULT DPERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DPERR_INVALIDPARAMS = DPERR_INVALIDPARAM;
constexpr HRESULT DPERR_INVALIDPLAYER = MAKE_DPHRESULT(150);
constexpr HRESULT DPERR_INVALIDGROUP = MAKE_DPHRESULT(155);
constexpr HRESULT DPERR_NOCAPS = MAKE_DPHRESULT(160);
constexpr HRESULT DPERR_NOCONNECTION = MAKE_DPHRESULT(170);
constexpr HRESULT DPERR_NOMEMORY = E_OUTOFMEMORY;
constexpr HRESULT DPERR_OUTOFMEMORY = DPERR_NOMEMORY;
constexpr HRESULT DPERR_NOMESSAGES = MAKE_DPHRESULT(190);
constexpr HRESULT DPERR_NONAMESERVERFOUND = MAKE_DPHRESULT(200);
constexpr HRESULT DPERR_NOPLAYERS = MAKE_DPHRESULT(210);
constexpr HRESULT DPERR_NOSESSIONS = MAKE_DPHRESULT(220);
constexpr HRESULT DPERR_PENDING = static_cast<HRESULT>(0x8000000Au);
constexpr HRESULT DPERR_SENDTOOBIG = MAKE_DPHRESULT(230);
constexpr HRESULT DPERR_TIMEOUT = MAKE_DPHRESULT(240);
constexpr HRESULT DPERR_UNAVAILABLE = MAKE_DPHRESULT(250);
constexpr HRESULT DPERR_UNSUPPORTED = E_NOTIMPL;
constexpr HRESULT DPERR_BUSY = MAKE_DPHRESULT(270);
constexpr HRESULT DPERR_USERCANCEL = MAKE_DPHRESULT(280);
constexpr HRESULT DPERR_NOINTERFACE = E_NOINTERFACE;
constexpr HRESULT DPERR_CANNOTCREATESERVER = MAKE_DPHRESULT(290);
constexpr HRESULT DPERR_PLAYERLOST = MAKE_DPHRESULT(300);
constexpr HRESULT DPERR_SESSIONLOST = MAKE_DPHRESULT(310);
constexpr HRESULT DPERR_UNINITIALIZED = MAKE_DPHRESULT(320);
constexpr HRESULT DPERR_NONEWPLAYERS = MAKE_DPHRESULT(330);
constexpr HRESULT DPERR_INVALIDPASSWORD = MAKE_DPHRESULT(340);
constexpr HRESULT DPERR_CONNECTING = MAKE_DPHRESULT(350);
constexpr HRESULT DPERR_CONNECTIONLOST = MAKE_DPHRESULT(360);
constexpr HRESULT DPERR_UNKNOWNMESSAGE = MAKE_DPHRESULT(370);
constexpr HRESULT DPERR_CANCELFAILED = MAKE_DPHRESULT(380);
constexpr HRESULT DPERR_INVALIDPRIORITY = MAKE_DPHRESULT(390);
constexpr HRESULT DPERR_NOTHANDLED = MAKE_DPHRESULT(400);
constexpr HRESULT DPERR_CANCELLED = MAKE_DPHRESULT(410);
constexpr HRESULT DPERR_ABORTED = MAKE_DPHRESULT(420);
constexpr HRESULT DPERR_BUFFERTOOLARGE = MAKE_DPHRESULT(1000);
constexpr HRESULT DPERR_CANTCREATEPROCESS = MAKE_DPHRESULT(1010);
constexpr HRESULT DPERR_APPNOTSTARTED = MAKE_DPHRESULT(1020);
constexpr HRESULT DPERR_INVALIDINTERFACE = MAKE_DPHRESULT(1030);
constexpr HRESULT DPERR_NOSERVICEPROVIDER = MAKE_DPHRESULT(1040);
constexpr HRESULT DPERR_UNKNOWNAPPLICATION = MAKE_DPHRESULT(1050);
constexpr HRESULT DPERR_NOTLOBBIED = MAKE_DPHRESULT(1070);
constexpr HRESULT DPERR_SERVICEPROVIDERLOADED = MAKE_DPHRESULT(1080);
constexpr HRESULT DPERR_ALREADYREGISTERED = MAKE_DPHRESULT(1090);
constexpr HRESULT DPERR_NOTREGISTERED = MAKE_DPHRESULT(1100);

// Class, interfaces and service providers
constexpr CLSID CLSID_DirectPlay{
    0xd1eb6d20, 0x8923, 0x11d0, {0x9d, 0x97, 0x00, 0xa0, 0xc9, 0x0a, 0x43, 0xcb}};
constexpr IID IID_IDirectPlay4{
    0x0ab1c530, 0x4745, 0x11d1, {0xa7, 0xa1, 0x00, 0x00, 0xf8, 0x03, 0xab, 0xfc}};
constexpr IID IID_IDirectPlay4A{
    0x0ab1c531, 0x4745, 0x11d1, {0xa7, 0xa1, 0x00, 0x00, 0xf8, 0x03, 0xab, 0xfc}};
constexpr GUID DPSPGUID_IPX{
    0x685bc400, 0x9d2c, 0x11cf, {0xa9, 0xcd, 0x00, 0xaa, 0x00, 0x68, 0x86, 0xe3}};
constexpr GUID DPSPGUID_TCPIP{
    0x36e95ee0, 0x8577, 0x11cf, {0x96, 0x0c, 0x00, 0x80, 0xc7, 0x53, 0x4e, 0x82}};

// Player ids
constexpr DPID DPID_SYSMSG = 0;
constexpr DPID DPID_ALLPLAYERS = 0;
constexpr DPID DPID_SERVERPLAYER = 1;
constexpr DPID DPID_UNKNOWN = 0xFFFFFFFF;

// EnumConnections
constexpr DWORD DPCONNECTION_DIRECTPLAY = 0x00000001;
constexpr DWORD DPCONNECTION_DIRECTPLAYLOBBY = 0x00000002;

// EnumSessions and its callback
constexpr DWORD DPENUMSESSIONS_AVAILABLE = 0x00000001;
constexpr DWORD DPENUMSESSIONS_ALL = 0x00000002;
constexpr DWORD DPENUMSESSIONS_ASYNC = 0x00000010;
constexpr DWORD DPENUMSESSIONS_STOPASYNC = 0x00000020;
constexpr DWORD DPENUMSESSIONS_PASSWORDREQUIRED = 0x00000040;
constexpr DWORD DPENUMSESSIONS_RETURNSTATUS = 0x00000080;
constexpr DWORD DPESC_TIMEDOUT = 0x00000001;

// Open
constexpr DWORD DPOPEN_JOIN = 0x00000001;
constexpr DWORD DPOPEN_CREATE = 0x00000002;
constexpr DWORD DPOPEN_RETURNSTATUS = DPENUMSESSIONS_RETURNSTATUS;

// Session flags
constexpr DWORD DPSESSION_NEWPLAYERSDISABLED = 0x00000001;
constexpr DWORD DPSESSION_MIGRATEHOST = 0x00000004;
constexpr DWORD DPSESSION_NOMESSAGEID = 0x00000008;
constexpr DWORD DPSESSION_JOINDISABLED = 0x00000020;
constexpr DWORD DPSESSION_KEEPALIVE = 0x00000040;
constexpr DWORD DPSESSION_NODATAMESSAGES = 0x00000080;
constexpr DWORD DPSESSION_SECURESERVER = 0x00000100;
constexpr DWORD DPSESSION_PRIVATE = 0x00000200;
constexpr DWORD DPSESSION_PASSWORDREQUIRED = 0x00000400;
constexpr DWORD DPSESSION_MULTICASTSERVER = 0x00000800;
constexpr DWORD DPSESSION_CLIENTSERVER = 0x00001000;
constexpr DWORD DPSESSION_DIRECTPLAYPROTOCOL = 0x00002000;
constexpr DWORD DPSESSION_NOPRESERVEORDER = 0x00004000;
constexpr DWORD DPSESSION_OPTIMIZELATENCY = 0x00008000;

// Player flags
constexpr DWORD DPPLAYER_LOCAL = 0x00000008;
constexpr DWORD DPPLAYER_SERVERPLAYER = 0x00000100;
constexpr DWORD DPPLAYER_SPECTATOR = 0x00000200;
constexpr DWORD DPPLAYERTYPE_GROUP = 0x00000000;
constexpr DWORD DPPLAYERTYPE_PLAYER = 0x00000001;

// Send and receive
constexpr DWORD DPSEND_GUARANTEED = 0x00000001;
constexpr DWORD DPSEND_HIGHPRIORITY = 0x00000002;
constexpr DWORD DPSEND_OPENSTREAM = 0x00000008;
constexpr DWORD DPSEND_CLOSESTREAM = 0x00000010;
constexpr DWORD DPSEND_SIGNED = 0x00000020;
constexpr DWORD DPSEND_ENCRYPTED = 0x00000040;
constexpr DWORD DPSEND_LOBBYSYSTEMMESSAGE = 0x00000080;
constexpr DWORD DPSEND_ASYNC = 0x00000200;
constexpr DWORD DPSEND_NOSENDCOMPLETEMSG = 0x00000400;
constexpr DWORD DPRECEIVE_ALL = 0x00000001;
constexpr DWORD DPRECEIVE_TOPLAYER = 0x00000002;
constexpr DWORD DPRECEIVE_FROMPLAYER = 0x00000004;
constexpr DWORD DPRECEIVE_PEEK = 0x00000008;

// System message types
constexpr DWORD DPSYS_CREATEPLAYERORGROUP = 0x0003;
constexpr DWORD DPSYS_DESTROYPLAYERORGROUP = 0x0005;
constexpr DWORD DPSYS_ADDPLAYERTOGROUP = 0x0007;
constexpr DWORD DPSYS_DELETEPLAYERFROMGROUP = 0x0021;
constexpr DWORD DPSYS_SESSIONLOST = 0x0031;
constexpr DWORD DPSYS_HOST = 0x0101;
constexpr DWORD DPSYS_SETPLAYERORGROUPDATA = 0x0102;
constexpr DWORD DPSYS_SETPLAYERORGROUPNAME = 0x0103;
constexpr DWORD DPSYS_SETSESSIONDESC = 0x0104;
constexpr DWORD DPSYS_SENDCOMPLETE = 0x010d;

struct DPNAME {
    DWORD dwSize;
    DWORD dwFlags;
    union {
        LPWSTR lpszShortName;
        LPSTR lpszShortNameA;
    };
    union {
        LPWSTR lpszLongName;
        LPSTR lpszLongNameA;
    };
};
using LPDPNAME = DPNAME*;
using LPCDPNAME = const DPNAME*;

struct DPSESSIONDESC2 {
    DWORD dwSize;
    DWORD dwFlags;
    GUID guidInstance;
    GUID guidApplication;
    DWORD dwMaxPlayers;
    DWORD dwCurrentPlayers;
    union {
        LPWSTR lpszSessionName;
        LPSTR lpszSessionNameA;
    };
    union {
        LPWSTR lpszPassword;
        LPSTR lpszPasswordA;
    };
    DWORD dwReserved1;
    DWORD dwReserved2;
    DWORD dwUser1;
    DWORD dwUser2;
    DWORD dwUser3;
    DWORD dwUser4;
};
using LPDPSESSIONDESC2 = DPSESSIONDESC2*;
using LPCDPSESSIONDESC2 = const DPSESSIONDESC2*;

struct DPCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwMaxBufferSize;
    DWORD dwMaxQueueSize;
    DWORD dwMaxPlayers;
    DWORD dwHundredBaud;
    DWORD dwLatency;
    DWORD dwMaxLocalPlayers;
    DWORD dwHeaderLength;
    DWORD dwTimeout;
};
using LPDPCAPS = DPCAPS*;

struct DPMSG_GENERIC {
    DWORD dwType;
};

struct DPMSG_CREATEPLAYERORGROUP {
    DWORD dwType;
    DWORD dwPlayerType;
    DPID dpId;
    DWORD dwCurrentPlayers;
    LPVOID lpData;
    DWORD dwDataSize;
    DPNAME dpnName;
    DPID dpIdParent;
    DWORD dwFlags;
};

struct DPMSG_DESTROYPLAYERORGROUP {
    DWORD dwType;
    DWORD dwPlayerType;
    DPID dpId;
    LPVOID lpLocalData;
    DWORD dwLocalDataSize;
    LPVOID lpRemoteData;
    DWORD dwRemoteDataSize;
    DPNAME dpnName;
    DPID dpIdParent;
    DWORD dwFlags;
};

struct DPMSG_SESSIONLOST {
    DWORD dwType;
};

// Structures of methods outside the supported subset, declared for the vtable.
struct DPSECURITYDESC;
struct DPCREDENTIALS;
struct DPCHAT;
struct DPLCONNECTION;
using LPCDPSECURITYDESC = const DPSECURITYDESC*;
using LPCDPCREDENTIALS = const DPCREDENTIALS*;
using LPDPCHAT = DPCHAT*;
using LPDPLCONNECTION = DPLCONNECTION*;

using LPDPENUMSESSIONSCALLBACK2 = BOOL(CALLBACK*)(LPCDPSESSIONDESC2 lpThisSD, LPDWORD lpdwTimeOut,
                                                  DWORD dwFlags, LPVOID lpContext);
using LPDPENUMCONNECTIONSCALLBACK = BOOL(CALLBACK*)(LPCGUID lpguidSP, LPVOID lpConnection,
                                                    DWORD dwConnectionSize, LPCDPNAME lpName,
                                                    DWORD dwFlags, LPVOID lpContext);
using LPDPENUMPLAYERSCALLBACK2 = BOOL(CALLBACK*)(DPID dpId, DWORD dwPlayerType, LPCDPNAME lpName,
                                                 DWORD dwFlags, LPVOID lpContext);

// IDirectPlay2A, IDirectPlay3A and IDirectPlay4A in one vtable, in declaration order.
struct IDirectPlay4A : IUnknown {
    // IDirectPlay2A
    virtual HRESULT STDMETHODCALLTYPE AddPlayerToGroup(DPID idGroup, DPID idPlayer) = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateGroup(LPDPID lpidGroup, LPDPNAME lpGroupName,
                                                  LPVOID lpData, DWORD dwDataSize,
                                                  DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreatePlayer(LPDPID lpidPlayer, LPDPNAME lpPlayerName,
                                                   HANDLE hEvent, LPVOID lpData, DWORD dwDataSize,
                                                   DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeletePlayerFromGroup(DPID idGroup, DPID idPlayer) = 0;
    virtual HRESULT STDMETHODCALLTYPE DestroyGroup(DPID idGroup) = 0;
    virtual HRESULT STDMETHODCALLTYPE DestroyPlayer(DPID idPlayer) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumGroupPlayers(
        DPID idGroup, LPGUID lpguidInstance, LPDPENUMPLAYERSCALLBACK2 lpEnumPlayersCallback2,
        LPVOID lpContext, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumGroups(LPGUID lpguidInstance,
                                                 LPDPENUMPLAYERSCALLBACK2 lpEnumPlayersCallback2,
                                                 LPVOID lpContext, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumPlayers(LPGUID lpguidInstance,
                                                  LPDPENUMPLAYERSCALLBACK2 lpEnumPlayersCallback2,
                                                  LPVOID lpContext, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumSessions(
        LPDPSESSIONDESC2 lpsd, DWORD dwTimeout, LPDPENUMSESSIONSCALLBACK2 lpEnumSessionsCallback2,
        LPVOID lpContext, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCaps(LPDPCAPS lpDPCaps, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetGroupData(DPID idGroup, LPVOID lpData,
                                                   LPDWORD lpdwDataSize, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetGroupName(DPID idGroup, LPVOID lpData,
                                                   LPDWORD lpdwDataSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMessageCount(DPID idPlayer, LPDWORD lpdwCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPlayerAddress(DPID idPlayer, LPVOID lpData,
                                                       LPDWORD lpdwDataSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPlayerCaps(DPID idPlayer, LPDPCAPS lpPlayerCaps,
                                                    DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPlayerData(DPID idPlayer, LPVOID lpData,
                                                    LPDWORD lpdwDataSize, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPlayerName(DPID idPlayer, LPVOID lpData,
                                                    LPDWORD lpdwDataSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSessionDesc(LPVOID lpData, LPDWORD lpdwDataSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE Initialize(LPGUID lpGUID) = 0;
    virtual HRESULT STDMETHODCALLTYPE Open(LPDPSESSIONDESC2 lpsd, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Receive(LPDPID lpidFrom, LPDPID lpidTo, DWORD dwFlags,
                                              LPVOID lpData, LPDWORD lpdwDataSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE Send(DPID idFrom, DPID idTo, DWORD dwFlags, LPVOID lpData,
                                           DWORD dwDataSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetGroupData(DPID idGroup, LPVOID lpData, DWORD dwDataSize,
                                                   DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetGroupName(DPID idGroup, LPDPNAME lpGroupName,
                                                   DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPlayerData(DPID idPlayer, LPVOID lpData, DWORD dwDataSize,
                                                    DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPlayerName(DPID idPlayer, LPDPNAME lpPlayerName,
                                                    DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSessionDesc(LPDPSESSIONDESC2 lpSessDesc,
                                                     DWORD dwFlags) = 0;
    // IDirectPlay3A
    virtual HRESULT STDMETHODCALLTYPE AddGroupToGroup(DPID idParentGroup, DPID idGroup) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateGroupInGroup(DPID idParentGroup, LPDPID lpidGroup,
                                                         LPDPNAME lpGroupName, LPVOID lpData,
                                                         DWORD dwDataSize, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteGroupFromGroup(DPID idParentGroup, DPID idGroup) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumConnections(LPCGUID lpguidApplication,
                                                      LPDPENUMCONNECTIONSCALLBACK lpEnumCallback,
                                                      LPVOID lpContext, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumGroupsInGroup(DPID idGroup, LPGUID lpguidInstance,
                                                        LPDPENUMPLAYERSCALLBACK2 lpEnumCallback,
                                                        LPVOID lpContext, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetGroupConnectionSettings(DWORD dwFlags, DPID idGroup,
                                                                 LPVOID lpData,
                                                                 LPDWORD lpdwDataSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE InitializeConnection(LPVOID lpConnection, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE SecureOpen(LPCDPSESSIONDESC2 lpsd, DWORD dwFlags,
                                                 LPCDPSECURITYDESC lpSecurity,
                                                 LPCDPCREDENTIALS lpCredentials) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendChatMessage(DPID idFrom, DPID idTo, DWORD dwFlags,
                                                      LPDPCHAT lpChatMessage) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetGroupConnectionSettings(DWORD dwFlags, DPID idGroup,
                                                                 LPDPLCONNECTION lpConnection) = 0;
    virtual HRESULT STDMETHODCALLTYPE StartSession(DWORD dwFlags, DPID idGroup) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetGroupFlags(DPID idGroup, LPDWORD lpdwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetGroupParent(DPID idGroup, LPDPID lpidParent) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPlayerAccount(DPID idPlayer, DWORD dwFlags, LPVOID lpData,
                                                       LPDWORD lpdwDataSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPlayerFlags(DPID idPlayer, LPDWORD lpdwFlags) = 0;
    // IDirectPlay4A
    virtual HRESULT STDMETHODCALLTYPE GetGroupOwner(DPID idGroup, LPDPID lpidOwner) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetGroupOwner(DPID idGroup, DPID idOwner) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendEx(DPID idFrom, DPID idTo, DWORD dwFlags, LPVOID lpData,
                                             DWORD dwDataSize, DWORD dwPriority, DWORD dwTimeout,
                                             LPVOID lpContext, LPDWORD_PTR lpdwMsgID) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMessageQueue(DPID idFrom, DPID idTo, DWORD dwFlags,
                                                      LPDWORD lpdwNumMsgs,
                                                      LPDWORD lpdwNumBytes) = 0;
    virtual HRESULT STDMETHODCALLTYPE CancelMessage(DWORD dwMsgID, DWORD dwFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE CancelPriority(DWORD dwMinPriority, DWORD dwMaxPriority,
                                                     DWORD dwFlags) = 0;

protected:
    ~IDirectPlay4A() = default;
};
using LPDIRECTPLAY4A = IDirectPlay4A*;
