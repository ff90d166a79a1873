#pragma once

#include "QuorvaneException.h"

#include <memory>
#include <vector>

// Raised when the current index of a TIndexedObjecList is set outside the list.
class EIndexOutOfBoudsException : public EQuorvaneException
{
public:
    explicit EIndexOutOfBoudsException(int Index);
};

// Raised by Items() of any list for an index outside the list.
class EListIndexError : public EQuorvaneException
{
public:
    explicit EListIndexError(int Index);
};

// A list of heap objects that, when it owns them (the default), frees them
// when they are deleted, when it is cleared and when it is freed.
template <typename T>
class TObjectList
{
public:
    explicit TObjectList(bool OwnsObjects = true) : m_ownsObjects(OwnsObjects) {}
    virtual ~TObjectList() { Clear(); }
    TObjectList(const TObjectList &) = delete;
    TObjectList &operator=(const TObjectList &) = delete;

    [[nodiscard]] bool OwnsObjects() const { return m_ownsObjects; }
    [[nodiscard]] int Count() const { return static_cast<int>(m_items.size()); }
    [[nodiscard]] bool IsEmpty() const { return m_items.empty(); }

    // Appends; returns the new item's index. An owning list takes the item.
    int Add(T *Item)
    {
        m_items.push_back(Item);
        return Count() - 1;
    }
    int Add(std::unique_ptr<T> Item) { return Add(Item.release()); }

    [[nodiscard]] T *Items(int Index) const
    {
        if (Index < 0 || Index >= Count())
            throw EListIndexError(Index);
        return m_items[static_cast<size_t>(Index)];
    }
    [[nodiscard]] T *operator[](int Index) const { return Items(Index); }

    // Position of the item, -1 when it is not in the list.
    [[nodiscard]] int IndexOf(const T *Item) const
    {
        for (int i = 0; i < Count(); ++i)
            if (m_items[static_cast<size_t>(i)] == Item)
                return i;
        return -1;
    }

    // Removes the item at Index (and frees it when the list owns it).
    void Delete(int Index)
    {
        T *item = Items(Index);
        m_items.erase(m_items.begin() + Index);
        if (m_ownsObjects)
            delete item;
    }

    // Removes the item without freeing it; the caller takes it.
    [[nodiscard]] std::unique_ptr<T> Extract(int Index)
    {
        T *item = Items(Index);
        m_items.erase(m_items.begin() + Index);
        return std::unique_ptr<T>(item);
    }

    void Clear()
    {
        std::vector<T *> items;
        items.swap(m_items);
        if (m_ownsObjects)
            for (T *item : items)
                delete item;
    }

    [[nodiscard]] auto begin() const { return m_items.begin(); }
    [[nodiscard]] auto end() const { return m_items.end(); }

private:
    bool m_ownsObjects;
    std::vector<T *> m_items;
};

// An object list with a current item. ItemIndex is a plain number: adding,
// deleting or clearing never moves it, and the current item is absent
// whenever the number is outside 0..Count-1.
template <typename T>
class TIndexedObjecList : public TObjectList<T>
{
public:
    explicit TIndexedObjecList(bool OwnsObjects = true) : TObjectList<T>(OwnsObjects) {}

    [[nodiscard]] int ItemIndex() const { return m_itemIndex; }
    [[nodiscard]] bool IsValidIndex(int Index) const { return Index >= 0 && Index < this->Count(); }

    // Stores Index when it names an item; otherwise throws and keeps the old
    // index. -1 is refused too: the selection cannot be cleared here.
    void SetItemIndex(int Index)
    {
        if (!IsValidIndex(Index))
            throw EIndexOutOfBoudsException(Index);
        m_itemIndex = Index;
    }

    [[nodiscard]] T *CurrentItem() const
    {
        return IsValidIndex(m_itemIndex) ? this->Items(m_itemIndex) : nullptr;
    }

private:
    int m_itemIndex = -1;
};
