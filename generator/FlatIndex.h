#pragma once
// A hash index from texts to numbers for the driver's lookups: open
// addressing in one array, no allocation per entry. The texts are views: what
// they point into must outlive the index.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace orvex {

class FlatIndex {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    // Room for `count` entries without growing.
    explicit FlatIndex(std::size_t count = 8) { rehash(capacityFor(count)); }

    // The number stored for key, or npos.
    std::size_t find(std::string_view key) const {
        const Slot& s = m_slots[probe(key, hash(key))];
        return s.used() ? s.value : npos;
    }
    // Stores value (below 2^32 - 1) for key unless key is present; returns the
    // number stored for key before the call, or npos when it was added now.
    std::size_t insert(std::string_view key, std::size_t value) {
        const std::uint32_t h = hash(key);
        Slot& s = m_slots[probe(key, h)];
        if (s.used()) return s.value;
        s = Slot{key.data(), static_cast<std::uint32_t>(key.size()), h, static_cast<std::uint32_t>(value)};
        if (++m_count * 2 > m_slots.size()) rehash(m_slots.size() * 2);
        return npos;
    }
    // Removes key when present.
    void erase(std::string_view key) {
        Slot& s = m_slots[probe(key, hash(key))];
        if (!s.used()) return;
        s.value = kEmpty;
        --m_count;
        // Re-insert the rest of the cluster so that every probe still finds its key.
        std::vector<Slot> old;
        old.swap(m_slots);
        rehash(old.size());
        for (const Slot& o : old)
            if (o.used()) m_slots[probe(o.key(), o.hash)] = o;
    }

private:
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
    struct Slot {
        const char* data = nullptr;
        std::uint32_t size = 0;
        std::uint32_t hash = 0;
        std::uint32_t value = kEmpty;
        bool used() const { return value != kEmpty; }
        std::string_view key() const { return std::string_view(data, size); }
    };

    static std::uint32_t hash(std::string_view key) {
        std::uint64_t h = 14695981039346656037ull;  // FNV-1a
        for (unsigned char c : key) h = (h ^ c) * 1099511628211ull;
        return static_cast<std::uint32_t>(h ^ (h >> 32));
    }
    static std::size_t capacityFor(std::size_t count) {
        std::size_t c = 16;
        while (c < count * 2 + 2) c *= 2;
        return c;
    }
    std::size_t probe(std::string_view key, std::uint32_t h) const {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t i = h & mask;
        while (m_slots[i].used() && !(m_slots[i].hash == h && m_slots[i].key() == key)) i = (i + 1) & mask;
        return i;
    }
    void rehash(std::size_t capacity) {
        std::vector<Slot> old;
        old.swap(m_slots);
        m_slots.assign(capacity, Slot{});
        for (const Slot& o : old)
            if (o.used()) m_slots[probe(o.key(), o.hash)] = o;
    }

    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
};

}  // namespace orvex
