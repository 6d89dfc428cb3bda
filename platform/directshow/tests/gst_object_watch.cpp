#include "gst_object_watch.h"

#include <gst/gst.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>

namespace testgst {
namespace {

// A tracer of our own only to receive GStreamer's object-created hook.
struct WatchTracer {
    GstTracer parent;
};
struct WatchTracerClass {
    GstTracerClass parentClass;
};
G_DEFINE_TYPE(WatchTracer, watch_tracer, GST_TYPE_TRACER)
void watch_tracer_class_init(WatchTracerClass*) {}
void watch_tracer_init(WatchTracer*) {}

// Shared with the hook and the weak-reference notifications, which come from any thread.
std::mutex lock;
std::condition_variable finalised;
bool recording = false;
int objects = 0;
int pipelines = 0;
std::map<GObject*, std::string> alive; // the type of each object still alive

void OnFinalised(gpointer, GObject* object) {
    {
        std::lock_guard guard(lock);
        alive.erase(object);
    }
    finalised.notify_all();
}

void OnObjectCreated(GObject*, GstClockTime, GstObject* object) {
    if (!GST_IS_ELEMENT(object) && !GST_IS_BUS(object))
        return;
    std::lock_guard guard(lock);
    if (!recording)
        return;
    ++objects;
    if (GST_IS_PIPELINE(object))
        ++pipelines;
    alive[G_OBJECT(object)] = G_OBJECT_TYPE_NAME(object);
    g_object_weak_ref(G_OBJECT(object), &OnFinalised, nullptr);
}

// The hook stays registered for the process: GStreamer cannot take one back.
void RegisterHookOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        gst_init(nullptr, nullptr);
        // Held by GStreamer's hook list for the rest of the process.
        auto* tracer = static_cast<GstTracer*>(g_object_new(watch_tracer_get_type(), nullptr));
        gst_tracing_register_hook(tracer, "object-created", G_CALLBACK(&OnObjectCreated));
    });
}

} // namespace

ObjectWatch::ObjectWatch() {
    RegisterHookOnce();
    std::lock_guard guard(lock);
    if (recording)
        throw std::logic_error("one ObjectWatch at a time");
    recording = true;
    objects = pipelines = 0;
    // Objects of an earlier watch still alive are reported by it, not by this one.
    alive.clear();
}

ObjectWatch::~ObjectWatch() {
    std::lock_guard guard(lock);
    recording = false;
}

int ObjectWatch::created() const {
    std::lock_guard guard(lock);
    return objects;
}

int ObjectWatch::pipelinesCreated() const {
    std::lock_guard guard(lock);
    return pipelines;
}

std::vector<std::string> ObjectWatch::WaitAllFinalised(std::chrono::milliseconds timeout) const {
    std::unique_lock guard(lock);
    finalised.wait_for(guard, timeout, [] { return alive.empty(); });
    std::vector<std::string> left;
    // An object is finalised only after its notification has taken the lock: those listed
    // are alive while it is held.
    for (const auto& [object, type] : alive) {
        const char* name = GST_OBJECT_NAME(object);
        left.push_back(type + " " + (name ? name : "") + " (refs " +
                       std::to_string(GST_OBJECT_REFCOUNT_VALUE(object)) + ")");
    }
    return left;
}

} // namespace testgst
