// Orders, in a way ThreadSanitizer sees, what a graph's own threads do with an object before
// GStreamer's streaming threads may call its handlers, those handler calls, and the
// object's end once no handler can come any more. GStreamer orders all of these itself,
// through locks and joins of its own that ThreadSanitizer does not see.
#pragma once

#include <atomic>

namespace directshow {

class HandlerSync {
public:
    // Before streaming threads may call a handler of the object (a state change).
    void Publish() { sync_.fetch_add(1, std::memory_order_release); }
    // First and last thing in a handler.
    void Enter() const { static_cast<void>(sync_.load(std::memory_order_acquire)); }
    void Leave() { sync_.fetch_add(1, std::memory_order_release); }
    // Once no handler can come any more, before the object goes.
    void Retire() const { static_cast<void>(sync_.load(std::memory_order_acquire)); }

private:
    std::atomic<unsigned> sync_{0};
};

// Enter and Leave for a handler's scope.
class HandlerScope {
public:
    explicit HandlerScope(HandlerSync& sync) : sync_(sync) { sync_.Enter(); }
    ~HandlerScope() { sync_.Leave(); }
    HandlerScope(const HandlerScope&) = delete;
    HandlerScope& operator=(const HandlerScope&) = delete;

private:
    HandlerSync& sync_;
};

} // namespace directshow
