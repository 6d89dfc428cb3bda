// Follows the GStreamer elements and buses a piece of code makes, wherever they are made,
// and tells which of them are still alive: a graph that is gone must leave none behind.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace testgst {

// Records every element and bus created in the process while it exists (one at a time).
// Objects made before it, or after it has gone, are not followed.
class ObjectWatch {
public:
    ObjectWatch();
    ~ObjectWatch();
    ObjectWatch(const ObjectWatch&) = delete;
    ObjectWatch& operator=(const ObjectWatch&) = delete;

    // How many objects were recorded, pipelines among them.
    int created() const;
    int pipelinesCreated() const;
    // Waits until every recorded object has been finalised or `timeout` has passed; returns
    // those still alive then, as "type name (refs N)".
    std::vector<std::string> WaitAllFinalised(std::chrono::milliseconds timeout) const;
};

} // namespace testgst
