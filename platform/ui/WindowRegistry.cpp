#include "WindowRegistry.h"

#include <mutex>
#include <unordered_map>

namespace
{

struct Registry
{
    std::mutex mutex;
    std::unordered_map<HWND, CDialog*> windows;
    HWND lastHandle = NULL_HWND;
};

Registry& TheRegistry()
{
    static Registry registry;
    return registry;
}

} // namespace

HWND RegisterWindow(CDialog* window)
{
    Registry& registry = TheRegistry();
    const std::lock_guard<std::mutex> lock(registry.mutex);
    const HWND handle = ++registry.lastHandle;
    registry.windows.emplace(handle, window);
    return handle;
}

void UnregisterWindow(HWND handle)
{
    Registry& registry = TheRegistry();
    const std::lock_guard<std::mutex> lock(registry.mutex);
    registry.windows.erase(handle);
}

CDialog* FindWindowByHandle(HWND handle)
{
    Registry& registry = TheRegistry();
    const std::lock_guard<std::mutex> lock(registry.mutex);
    const auto found = registry.windows.find(handle);
    return found == registry.windows.end() ? nullptr : found->second;
}

bool IsWindow(HWND handle)
{
    return FindWindowByHandle(handle) != nullptr;
}
