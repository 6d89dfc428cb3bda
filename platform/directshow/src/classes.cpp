#include "filter_graph.h"
#include "renderer.h"

#include <com/builtin_classes.h>
#include <directshow/classes.h>

#include <mutex>

namespace directshow {
namespace {

template <typename T> HRESULT STDMETHODCALLTYPE GetClassObject(REFCLSID, REFIID riid, LPVOID* ppv) {
    static ClassFactory<T> factory;
    return factory.QueryInterface(riid, ppv);
}

} // namespace

void RegisterBuiltinClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        // The media runtime is made ready here, in the registering module's start-up,
        // rather than by the first graph: see EnsureGstInitialized.
        EnsureGstInitialized();
        com::RegisterBuiltinClass(CLSID_FilterGraph, &GetClassObject<CFilterGraph>);
        com::RegisterBuiltinClass(CLSID_ReferenceRenderer, &GetClassObject<CReferenceRenderer>);
    });
}

} // namespace directshow
