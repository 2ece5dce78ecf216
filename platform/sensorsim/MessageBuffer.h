#pragma once

#include "MemoryAdvice.h"
#include "Tamrix.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

// The longest program message a sensor takes: a stored data set and its command.
constexpr std::size_t maxMessageSize = maxDataSetSize + 4096;

// The bytes of an incoming message, in storage that nobody zero-fills first.
class MessageBuffer
{
public:
    std::size_t Size() const { return m_size; }
    std::string_view View() const { return {m_data.get(), m_size}; }

    // Room for `count` more bytes at the end; gives where they go.
    char* Append(std::size_t count)
    {
        if (m_size + count > m_capacity)
            Reserve(std::max(m_size + count, 2 * m_capacity));
        char* const at = m_data.get() + m_size;
        m_size += count;
        return at;
    }

    void Reserve(std::size_t capacity)
    {
        if (capacity <= m_capacity)
            return;
        std::unique_ptr<char[]> data(new char[capacity]);
        tamrix_memory::AdviseHugePages(data.get(), capacity);
        if (m_size > 0)
            std::memcpy(data.get(), m_data.get(), m_size);
        m_data = std::move(data);
        m_capacity = capacity;
    }

    // A message that carries a block says its length in its first transfer:
    // room for all of it at once spares growing the buffer tens of times.
    void ReserveForBlock()
    {
        const std::string_view text = View();
        const std::size_t hash = text.find('#');
        if (hash == std::string_view::npos || hash + 2 > text.size())
            return;
        const std::size_t digits = static_cast<std::size_t>(text[hash + 1] - '0');
        if (digits < 1 || digits > 9 || hash + 2 + digits > text.size())
            return;
        std::size_t length = 0;
        for (std::size_t i = hash + 2; i < hash + 2 + digits; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return;
            length = length * 10 + static_cast<std::size_t>(text[i] - '0');
        }
        if (length <= maxMessageSize)
            Reserve(std::min(maxMessageSize, hash + 2 + digits + length + 64));
    }

    // Whether the message writes a block (a data set): the drop-after fault
    // breaks such writes, not the commands and queries around them.
    bool CarriesBlock() const
    {
        const std::string_view head = View().substr(0, 256);
        const std::size_t hash = head.find('#');
        return hash != std::string_view::npos && hash + 1 < head.size() && head[hash + 1] >= '0' &&
               head[hash + 1] <= '9';
    }

    void Clear()
    {
        m_data.reset();
        m_size = m_capacity = 0;
    }

private:
    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};
