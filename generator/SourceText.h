#pragma once
// The generated program as one text: every line followed by LF, with the
// offsets of the line ends kept so that line i can be read back. Writing a
// program of tens of thousands of lines this way costs no allocation per line.
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

class SourceText {
public:
    // Forgets every line.
    void clear() {
        m_text.clear();
        m_ends.clear();
    }
    void reserve(std::size_t lines, std::size_t bytes) {
        m_ends.reserve(lines);
        m_text.reserve(bytes);
    }
    // Appends one line made of the pieces, in order.
    void add(std::initializer_list<std::string_view> pieces) {
        for (std::string_view p : pieces) m_text.append(p);
        endLine();
    }
    void add(std::string_view line) {
        m_text.append(line);
        endLine();
    }

    // Number of lines.
    std::size_t size() const { return m_ends.size(); }
    // Line i without its terminator.
    std::string_view operator[](std::size_t i) const {
        const std::size_t begin = i == 0 ? 0 : m_ends[i - 1] + 1;
        return std::string_view(m_text).substr(begin, m_ends[i] - begin);
    }
    // The program as written to a file: every line followed by LF.
    const std::string& text() const { return m_text; }
    // The lines as separate strings.
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        out.reserve(size());
        for (std::size_t i = 0; i < size(); ++i) out.emplace_back((*this)[i]);
        return out;
    }

private:
    void endLine() {
        m_ends.push_back(m_text.size());
        m_text.push_back('\n');
    }

    std::string m_text;
    std::vector<std::size_t> m_ends;  // offset of each line's LF in m_text
};

}  // namespace orvex
