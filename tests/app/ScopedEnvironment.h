#pragma once

// An environment variable set (or removed) for the lifetime of the object; the
// settings file of every window made meanwhile follows XDG_CONFIG_HOME and HOME.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

class ScopedEnvironmentVariable
{
public:
    // std::nullopt removes the variable.
    ScopedEnvironmentVariable(const char* name, const std::optional<QString>& value)
        : m_name(name)
        , m_wasSet(qEnvironmentVariableIsSet(name))
        , m_previous(qgetenv(name))
    {
        if (value)
        {
            qputenv(name, value->toLocal8Bit());
        }
        else
        {
            qunsetenv(name);
        }
    }

    ~ScopedEnvironmentVariable()
    {
        if (m_wasSet)
        {
            qputenv(m_name, m_previous);
        }
        else
        {
            qunsetenv(m_name);
        }
    }

    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

private:
    const char* m_name;
    bool m_wasSet;
    QByteArray m_previous;
};
