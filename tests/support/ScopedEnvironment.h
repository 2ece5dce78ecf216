#pragma once

#include <stdlib.h>

#include <memory>
#include <optional>
#include <string>

// Sets an environment variable (std::nullopt: removes it) until the returned handle goes.
inline std::shared_ptr<void> ScopedEnvironmentVariable(const char* name, const std::optional<std::string>& value)
{
    const auto previous = ::getenv(name) ? std::optional<std::string>(::getenv(name)) : std::nullopt;
    value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    return {nullptr, [name, previous](void*) { previous ? ::setenv(name, previous->c_str(), 1) : ::unsetenv(name); }};
}
