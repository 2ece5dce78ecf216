#pragma once

// An environment variable set (std::nullopt: removed) for the lifetime of the object.

#include <QString>

#include <optional>

class ScopedEnvironmentVariable
{
public:
    ScopedEnvironmentVariable(const char* name, const std::optional<QString>& value)
        : m_name(name), m_previous(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt)
    {
        value ? qputenv(name, value->toLocal8Bit()) : qunsetenv(name);
    }
    ~ScopedEnvironmentVariable() { m_previous ? qputenv(m_name, *m_previous) : qunsetenv(m_name); }
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;

private:
    const char* m_name;
    std::optional<QByteArray> m_previous;
};
