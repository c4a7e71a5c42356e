#ifndef VANTORIX_SERIALISE_MAP_H
#define VANTORIX_SERIALISE_MAP_H

#include <cstddef>
#include <map>
#include <memory>
#include <utility>

namespace vantorix {

// An ordered map from K (ordered by K::operator<) to values of V that the map
// owns. clear() and destruction delete every value; a copy clones every value
// with V's copy constructor. valueAt(i) walks the entries in key order and is
// cheap when called for i = 0, 1, 2, ... as the XML writer does.
template <typename K, typename V>
class Map {
public:
    using Storage = std::map<K, std::unique_ptr<V>>;
    using iterator = typename Storage::iterator;
    using const_iterator = typename Storage::const_iterator;

    Map() = default;
    Map(const Map& other) { copyFrom(other); }
    Map(Map&& other) noexcept : m_entries(std::move(other.m_entries)) { other.forget(); }
    Map& operator=(const Map& other)
    {
        if (this != &other) {
            Storage old;
            old.swap(m_entries);
            copyFrom(other);
        }
        return *this;
    }
    Map& operator=(Map&& other) noexcept
    {
        m_entries = std::move(other.m_entries);
        forget();
        other.forget();
        return *this;
    }
    virtual ~Map() = default;

    // Stores value under key and takes ownership. When the key is already
    // present the map is unchanged, the new value is deleted and the result
    // is false: the first of two equal keys wins.
    bool insert(const K& key, std::unique_ptr<V> value)
    {
        if (!value)
            return false;
        const auto result = m_entries.emplace(key, std::move(value));
        if (result.second)
            forget();
        return result.second;
    }

    V* find(const K& key) const
    {
        const auto it = m_entries.find(key);
        return it == m_entries.end() ? nullptr : it->second.get();
    }
    bool contains(const K& key) const { return m_entries.find(key) != m_entries.end(); }

    // Removes and deletes the value under key; false when there is none.
    bool erase(const K& key)
    {
        forget();
        return m_entries.erase(key) > 0;
    }
    // Removes the value under key and hands it to the caller.
    std::unique_ptr<V> take(const K& key)
    {
        const auto it = m_entries.find(key);
        if (it == m_entries.end())
            return nullptr;
        std::unique_ptr<V> value = std::move(it->second);
        m_entries.erase(it);
        forget();
        return value;
    }

    void clear()
    {
        m_entries.clear();
        forget();
    }
    std::size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }

    // The value of the entry at index in key order, or null past the end.
    V* valueAt(std::size_t index) const
    {
        if (index >= m_entries.size())
            return nullptr;
        if (!m_cursorValid || index < m_cursorIndex) {
            m_cursor = m_entries.begin();
            m_cursorIndex = 0;
            m_cursorValid = true;
        }
        while (m_cursorIndex < index) {
            ++m_cursor;
            ++m_cursorIndex;
        }
        return m_cursor->second.get();
    }

    iterator begin() { return m_entries.begin(); }
    iterator end() { return m_entries.end(); }
    const_iterator begin() const { return m_entries.begin(); }
    const_iterator end() const { return m_entries.end(); }

private:
    void copyFrom(const Map& other)
    {
        for (const auto& entry : other.m_entries)
            m_entries.emplace(entry.first, entry.second ? std::make_unique<V>(*entry.second) : nullptr);
        forget();
    }
    void forget() { m_cursorValid = false; }

    Storage m_entries;
    mutable const_iterator m_cursor;
    mutable std::size_t m_cursorIndex = 0;
    mutable bool m_cursorValid = false;
};

} // namespace vantorix

#endif
