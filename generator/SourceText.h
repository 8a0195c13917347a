#pragma once
// The generated program as one text: every line followed by LF, with the
// offsets of the line ends kept so that line i can be read back. Writing a
// program of tens of thousands of lines this way costs no allocation per line.
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

class SourceText {
public:
    // Forgets every line.
    void clear() {
        m_size = 0;
        m_ends.clear();
    }
    void reserve(std::size_t lines, std::size_t bytes) {
        m_ends.reserve(lines);
        if (bytes > m_capacity) grow(bytes);
    }
    // Appends one line made of the pieces, in order.
    void add(std::initializer_list<std::string_view> pieces) {
        std::size_t total = 1;
        for (std::string_view p : pieces) total += p.size();
        if (m_size + total > m_capacity) grow(m_size + total);
        char* out = m_data.get() + m_size;
        for (std::string_view p : pieces) {
            if (p.empty()) continue;  // an empty view may hold no address
            std::memcpy(out, p.data(), p.size());
            out += p.size();
        }
        *out = '\n';
        m_size += total;
        m_ends.push_back(m_size - 1);
    }
    void add(std::string_view line) { add({line}); }

    // Number of lines.
    std::size_t size() const { return m_ends.size(); }
    // Line i without its terminator.
    std::string_view operator[](std::size_t i) const {
        const std::size_t begin = i == 0 ? 0 : m_ends[i - 1] + 1;
        return std::string_view(m_data.get() + begin, m_ends[i] - begin);
    }
    // The program as written to a file: every line followed by LF.
    std::string_view text() const { return std::string_view(m_data.get(), m_size); }
    // The lines as separate strings.
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        out.reserve(size());
        for (std::size_t i = 0; i < size(); ++i) out.emplace_back((*this)[i]);
        return out;
    }

    SourceText() = default;
    SourceText(const SourceText& other) { *this = other; }
    SourceText(SourceText&&) noexcept = default;
    SourceText& operator=(SourceText&&) noexcept = default;
    SourceText& operator=(const SourceText& other) {
        if (this == &other) return *this;
        clear();
        reserve(other.m_ends.size(), other.m_size);
        if (other.m_size) std::memcpy(m_data.get(), other.m_data.get(), other.m_size);
        m_size = other.m_size;
        m_ends = other.m_ends;
        return *this;
    }

private:
    void grow(std::size_t needed) {
        std::size_t capacity = std::max(needed, m_capacity * 2);
        std::unique_ptr<char[]> data(new char[capacity]);
        if (m_size) std::memcpy(data.get(), m_data.get(), m_size);
        m_data = std::move(data);
        m_capacity = capacity;
    }

    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
    std::vector<std::size_t> m_ends;   // offset of each line's LF
};

}  // namespace orvex
