#include "devtoolsswitch.h"

#include <atomic>

namespace {
std::atomic<bool> devToolsOn{false};
}

namespace DevToolsSwitch {

bool isOn()
{
    return devToolsOn.load(std::memory_order_relaxed);
}

void setOn(bool on)
{
    devToolsOn.store(on, std::memory_order_relaxed);
}

} // namespace DevToolsSwitch
