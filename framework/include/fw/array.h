// CArray<T>: a growable array of values, appended at the end and indexed from 0,
// in the manner of MFC's CArray but backed by std::vector. Platform-neutral.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

template <class T>
class CArray {
public:
    using value_type = T;
    using iterator = typename std::vector<T>::iterator;
    using const_iterator = typename std::vector<T>::const_iterator;

    CArray() = default;
    CArray(std::initializer_list<T> items) : m_items(items) {}
    virtual ~CArray() = default;
    CArray(const CArray&) = default;
    CArray(CArray&&) noexcept = default;
    CArray& operator=(const CArray&) = default;
    CArray& operator=(CArray&&) noexcept = default;

    int GetSize() const { return static_cast<int>(m_items.size()); }
    int GetCount() const { return GetSize(); }
    bool IsEmpty() const { return m_items.empty(); }
    int GetUpperBound() const { return GetSize() - 1; }

    // Grows with default-constructed elements or cuts the tail.
    void SetSize(int newSize) { m_items.resize(newSize < 0 ? 0 : static_cast<std::size_t>(newSize)); }
    void Reserve(int count) { if (count > 0) m_items.reserve(static_cast<std::size_t>(count)); }

    T& operator[](int i) { return m_items[static_cast<std::size_t>(i)]; }
    const T& operator[](int i) const { return m_items[static_cast<std::size_t>(i)]; }
    T& ElementAt(int i) { return (*this)[i]; }
    const T& GetAt(int i) const { return (*this)[i]; }
    void SetAt(int i, const T& value) { (*this)[i] = value; }
    T* GetData() { return m_items.data(); }
    const T* GetData() const { return m_items.data(); }

    // Returns the index of the new element.
    int Add(const T& value) { m_items.push_back(value); return GetSize() - 1; }
    int Add(T&& value) { m_items.push_back(std::move(value)); return GetSize() - 1; }
    void Append(const CArray& other) { m_items.insert(m_items.end(), other.m_items.begin(), other.m_items.end()); }
    void InsertAt(int i, const T& value, int count = 1) {
        m_items.insert(m_items.begin() + i, static_cast<std::size_t>(count), value);
    }
    void RemoveAt(int i, int count = 1) { m_items.erase(m_items.begin() + i, m_items.begin() + i + count); }
    void RemoveAll() { m_items.clear(); }
    void Copy(const CArray& other) { m_items = other.m_items; }

    iterator begin() { return m_items.begin(); }
    iterator end() { return m_items.end(); }
    const_iterator begin() const { return m_items.begin(); }
    const_iterator end() const { return m_items.end(); }

    std::vector<T>& Items() { return m_items; }
    const std::vector<T>& Items() const { return m_items; }

private:
    std::vector<T> m_items;
};
