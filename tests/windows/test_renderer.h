// A renderer for the Windows smoke test of Sonvar.dll, registered under the reference
// renderer's class: it renders through the system's null renderer, which it aggregates,
// and reports what Sonvar gave it through the parameter that Sonvar hands on.
#pragma once

#include <windows.h>

#include <atomic>

struct TestRendererParam {
    std::atomic<LONG> refuseOutput{0}; // SetOutput fails when non-zero
    std::atomic<LONG> outputCalls{0};
    std::atomic<const void*> lastOutput{nullptr};
    std::atomic<LONG> volumeCalls{0};
    std::atomic<LONG> volume{1}; // no renderer volume is positive
};
