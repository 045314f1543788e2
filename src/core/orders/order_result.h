// What building an order gives back to the window: ready, or the messages to show one after another.
#pragma once

#include <string>
#include <vector>

namespace pelldra {

struct OrderResult
{
    int code = 0;                      // 0 ready, 1 refused
    std::vector<std::string> messages; // shown in this order, each in its own box
    bool stopIcon = false;             // the boxes carry the stop icon rather than the plain one

    bool ok() const { return code == 0; }
    static OrderResult Ready() { return {}; }
    static OrderResult Refused(std::string message, bool stop = false) { return {1, {std::move(message)}, stop}; }
};

} // namespace pelldra
