// The send methods, the receive thread and the delivery of messages to the game.
#include "debugoutput.h"
#include "module.h"
#include "vornlannetwork.h"

#include "dplay.h"

#include <cstring>
#include <memory>
#include <new>

STDMETHODIMP CVornLANNetwork::Send(UINT idTo, UINT idFrom, UINT cmd, BYTE* pData, INT nDataSize,
                                   LONG bGuaranteed) {
    return SendMessageTo(msgToPlayer, idTo, idFrom, cmd, pData, nDataSize, bGuaranteed);
}

STDMETHODIMP CVornLANNetwork::SendToGroup(UINT idGroup, UINT idFrom, UINT cmd, BYTE* data,
                                          INT nDataSize, LONG bGuaranteed) {
    return SendMessageTo(msgToGroup, idGroup, idFrom, cmd, data, nDataSize, bGuaranteed);
}

STDMETHODIMP CVornLANNetwork::SendToAll(UINT idFrom, UINT cmd, BYTE* data, INT nDataSize,
                                        LONG bGuaranteed) {
    return SendMessageTo(msgToAll, 0, idFrom, cmd, data, nDataSize, bGuaranteed);
}

STDMETHODIMP CVornLANNetwork::SendToServer(UINT idFrom, UINT cmd, BYTE* pData, INT nDataSize,
                                           LONG bGuaranteed) {
    return SendMessageTo(msgToServer, 0, idFrom, cmd, pData, nDataSize, bGuaranteed);
}

HRESULT CVornLANNetwork::SendMessageTo(UINT type, UINT idTo, UINT idFrom, UINT cmd, BYTE* pData,
                                       INT nDataSize, LONG bGuaranteed) {
    if (pDirectPlay == nullptr) {
        return DPERR_UNINITIALIZED;
    }
    if (pData != nullptr && nDataSize < 0) {
        return E_INVALIDARG;
    }
    const DWORD flags = DPSEND_ASYNC | (bGuaranteed != 0 ? DPSEND_GUARANTEED : 0);
    try {
        // The header names the destination; DirectPlay always carries it to player 0.
        return SendNetMessage(idFrom, DPID_ALLPLAYERS,
                              NetMessage(cmd, static_cast<BYTE>(type), idFrom, idTo, pData,
                                         static_cast<UINT>(nDataSize)),
                              flags);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CVornLANNetwork::SendNetMessage(DPID idFrom, DPID idTarget, const NetMessage& message,
                                        DWORD flags) {
    WireForm wire(message);
    if (wire.Data() == nullptr) {
        return E_OUTOFMEMORY;
    }
    // An asynchronous send copies the data, so the buffer goes as soon as SendEx returns.
    return pDirectPlay->SendEx(idFrom, idTarget, flags, wire.Data(),
                               static_cast<DWORD>(wire.Size()), 0, 0, nullptr, nullptr);
}

DWORD WINAPI CVornLANNetwork::ReceiveThread(LPVOID pParam) {
    auto* self = static_cast<CVornLANNetwork*>(pParam);
    const HANDLE events[2] = {self->hPlayerEvent, self->hStopEvent};
    while (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0) {
        self->ReceiveMessages();
    }
    return 0;
}

void CVornLANNetwork::ReceiveMessages() {
    // One buffer for the whole drain, large enough for the usual messages from the start and
    // grown when DirectPlay says it is too small; each Receive is offered all of it.
    DWORD capacity = receiveBufferSize;
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[capacity]);
    if (!buffer) {
        return; // out of memory: what is queued is read at the next signal
    }
    for (;;) {
        DPID idFrom = 0;
        DPID idTo = 0;
        DWORD size = capacity;
        const HRESULT hr = pDirectPlay->Receive(&idFrom, &idTo, DPRECEIVE_ALL, buffer.get(), &size);
        if (hr == DPERR_BUFFERTOOSMALL) {
            buffer.reset(new (std::nothrow) BYTE[size]);
            if (!buffer) {
                return; // out of memory: what is still queued is read at the next signal
            }
            capacity = size;
            continue;
        }
        if (FAILED(hr)) {
            return; // normally DPERR_NOMESSAGES: the queue is empty
        }
        if (size < 4) {
            continue;
        }
        try {
            if (idFrom == DPID_SYSMSG) {
                HandleSystemMessage(buffer.get(), size, idFrom, idTo);
            } else {
                HandleApplicationMessage(buffer.get(), size, idFrom, idTo);
            }
        } catch (const std::bad_alloc&) {
            return;
        }
    }
}

int CVornLANNetwork::HandleApplicationMessage(const BYTE* buffer, DWORD size, DPID idFrom,
                                              DPID idTo) {
    if (bLobbyServer) {
        return m_lobby.HandleApplicationMessage(buffer, size, idFrom, idTo);
    }
    const auto message = NetMessage::Parse(buffer, size);
    if (!message) {
        DebugLine("HandleApplicationMessage: %d bytes from player ID=%d are no message, dropped\n",
                  static_cast<int>(size), static_cast<int>(idFrom));
        return 0;
    }
    DeliverToGame(*message, idFrom, idTo);
    DebugLine("HandleApplicationMessage(%d) to=%d, from=%d\n", static_cast<int>(message->Cmd()),
              static_cast<int>(message->IdTo()), static_cast<int>(message->IdFrom()));
    return 1;
}

void CVornLANNetwork::DeliverToGame(const NetMessage& message, DPID idFrom, DPID idTo) {
    if (!IsVoiceChatCommand(message.Cmd())) {
        Report(message, idFrom, idTo);
        return;
    }
    const VoiceChatHandler handler = __atomic_load_n(&pfnVoiceChatHandler, __ATOMIC_ACQUIRE);
    if (handler != nullptr) {
        handler(message.Cmd(), message.Data(), message.DataSize());
    }
}

int CVornLANNetwork::Report(const NetMessage& message, DPID idFrom, DPID idTo) {
    WireForm wire(message);
    if (wire.Data() == nullptr) {
        DebugLine("CVornLANNetwork::ParentNotify() Memory exception : dwSize=%d\n",
                  static_cast<int>(wire.Size()));
        return 1;
    }
    return ParentNotify(message.Cmd(), idFrom, idTo, wire.Data(), static_cast<DWORD>(wire.Size()));
}

int CVornLANNetwork::ReportEvent(UINT cmd, DPID idFrom, DPID idTo) {
    return Report(NetMessage(cmd, msgToGroup, idFrom, idTo, nullptr, 0), idFrom, idTo);
}

int CVornLANNetwork::ReportText(const char* text, DPID idFrom, DPID idTo) {
    return Report(NetMessage(cmdText, msgToServer, idFrom, idTo, text,
                             static_cast<UINT>(std::strlen(text) + 1)),
                  idFrom, idTo);
}

int CVornLANNetwork::ParentNotify(UINT cmd, DPID idFrom, DPID idTo, const BYTE* bytes, DWORD size) {
    if (hParentWnd == nullptr) {
        return 0;
    }
    HGLOBAL hMem = GlobalAlloc(GMEM_ZEROINIT, size);
    if (hMem == nullptr) {
        return 0;
    }
    void* block = GlobalLock(hMem);
    if (block == nullptr) {
        GlobalFree(hMem);
        return 0;
    }
    std::memcpy(block, bytes, size);
    GlobalUnlock(hMem);
    // The window frees the block once it has read it; a block that never reaches a
    // window has no owner but us.
    if (!PostMessageA(hParentWnd, g_nNetworkMessage, cmd, reinterpret_cast<LPARAM>(hMem))) {
        GlobalFree(hMem);
        DebugLine("CVornLANNetwork::ParentNotify() PostMessage failed : Cmd=%d, Memory handle=%p\n",
                  static_cast<int>(cmd), hMem);
        return 0;
    }
    DebugLine("CVornLANNetwork::ParentNotify() Cmd=%d, From=%d, To=%d, Memory handle=%x, "
              "dwSize=%d\n",
              static_cast<int>(cmd), static_cast<int>(idFrom), static_cast<int>(idTo),
              static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(hMem)), static_cast<int>(size));
    return 1;
}
