#include "kernel_objects.h"

using namespace win32::detail;

namespace {

class Event final : public KernelObject {
public:
    Event(bool manualReset, bool signalled) : manualReset_(manualReset), signalled_(signalled) {}

    bool IsSignalled() const override { return signalled_; }
    void Acquire() override {
        if (!manualReset_) {
            signalled_ = false;
        }
    }
    void Set(bool signalled, WakeList& woken) {
        signalled_ = signalled;
        if (signalled) {
            CollectWaiters(woken);
        }
    }

private:
    const bool manualReset_;
    bool signalled_;
};

BOOL ChangeEvent(HANDLE hEvent, bool signalled) {
    auto event = LookupHandleAs<Event>(hEvent);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    WakeList woken;
    {
        std::lock_guard guard(Dispatcher().lock);
        event->Set(signalled, woken);
    }
    WakeAll(woken);
    return TRUE;
}

} // namespace

bool win32::SetEventPump(HANDLE event, std::shared_ptr<WaitPump> pump) {
    auto found = LookupHandleAs<Event>(event);
    if (!found) {
        return false;
    }
    std::lock_guard guard(Dispatcher().lock);
    found->SetPump(std::move(pump));
    return true;
}

void win32::ClearEventPump(HANDLE event, const WaitPump& pump) {
    auto found = LookupHandleAs<Event>(event);
    if (!found) {
        return;
    }
    std::lock_guard guard(Dispatcher().lock);
    if (found->Pump().get() == &pump) {
        found->SetPump(nullptr);
    }
}

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState,
                           LPCSTR lpName) {
    if (lpName != nullptr) {
        // Named events are shared between processes on Windows; nothing here uses them.
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return InsertHandle(std::make_shared<Event>(bManualReset != FALSE, bInitialState != FALSE));
}

BOOL WINAPI SetEvent(HANDLE hEvent) {
    return ChangeEvent(hEvent, true);
}

BOOL WINAPI ResetEvent(HANDLE hEvent) {
    return ChangeEvent(hEvent, false);
}
