// Name registries of a scene: a chain of equally sized pages of string keys
// (owned copies) and item pointers (not owned). A key is looked for at one
// slot per page: slot h1 mod size on the first page, and on each further
// page the previous slot times h2, mod size. The chain grows by whole pages
// and is never rehashed, so items keep their slots while the table grows.
// A removed key leaves a marker behind, so that keys which were placed
// further down the chain past it stay reachable.
#ifndef KELMAR_HASHTABLE_H
#define KELMAR_HASHTABLE_H

#include <cstdlib>
#include <cstring>

namespace kelmar {

// The two hashes of a key's bytes (each byte taken as a signed char).
unsigned int NameHash1(const char *key); // h = ((h x 2) xor c) and 0xFFFF from 52145
unsigned int NameHash2(const char *key); // h = (h x 2) xor c from 1234567, then mod 65535

template <class T> class Hashtable {
public:
    // size: slots per page (>= 1).
    explicit Hashtable(int size) : size_(size < 1 ? 1 : size) {}
    ~Hashtable() { Clear(); }
    Hashtable(const Hashtable &) = delete;
    Hashtable &operator=(const Hashtable &) = delete;

    // The item under key, or null (also for an absent or removed key).
    T *Lookup(const char *key) const
    {
        Slot slot = Find(key, false);
        return slot.found ? slot.page->values[slot.index] : nullptr;
    }
    bool Contains(const char *key) const { return Find(key, false).found; }

    // Stores item under key. Returns null on success; when key is present
    // with an item, that item, and nothing changes. A key present with a
    // null item takes the new one. Returns item itself when no memory.
    T *Insert(const char *key, T *item)
    {
        if (!key) return item;
        Slot slot = Find(key, true);
        if (!slot.page) return item;
        if (slot.found) {
            if (slot.page->values[slot.index]) return slot.page->values[slot.index];
            slot.page->values[slot.index] = item;
            return nullptr;
        }
        char *copy = static_cast<char *>(std::malloc(std::strlen(key) + 1));
        if (!copy) return item;
        std::strcpy(copy, key);
        slot.page->keys[slot.index] = copy;
        slot.page->values[slot.index] = item;
        ++count_;
        return nullptr;
    }

    // Unregisters key; true when it was present.
    bool Remove(const char *key)
    {
        Slot slot = Find(key, false);
        if (!slot.found) return false;
        Erase(slot.page, slot.index);
        return true;
    }
    // Unregisters the slot holding item (the first one in iteration order).
    bool RemoveItem(const T *item)
    {
        for (Page *page = first_; page; page = page->next)
            for (int i = 0; i < size_; ++i)
                if (IsKey(page->keys[i]) && page->values[i] == item) {
                    Erase(page, i);
                    return true;
                }
        return false;
    }
    // The key an item is stored under, or null.
    const char *KeyOf(const T *item) const
    {
        const char *found = nullptr;
        ForEach([&](const char *key, T *value) {
            if (!found && value == item) found = key;
        });
        return found;
    }

    // Visits (key, item) in page order and slot order. The visitor must not
    // change the table; collect first to remove while walking.
    template <class F> void ForEach(F visit) const
    {
        for (Page *page = first_; page; page = page->next)
            for (int i = 0; i < size_; ++i)
                if (IsKey(page->keys[i])) visit(page->keys[i], page->values[i]);
    }

    int Count() const { return count_; }
    int PageCount() const
    {
        int n = 0;
        for (Page *page = first_; page; page = page->next) ++n;
        return n;
    }
    int SlotsPerPage() const { return size_; }

    // Forgets every key (items are not deleted) and frees the pages.
    void Clear()
    {
        while (first_) {
            Page *next = first_->next;
            for (int i = 0; i < size_; ++i)
                if (IsKey(first_->keys[i])) std::free(first_->keys[i]);
            std::free(first_);
            first_ = next;
        }
        count_ = 0;
    }

private:
    struct Page {
        char **keys;
        T **values;
        Page *next;
    };
    struct Slot {
        Page *page;
        int index;
        bool found;
    };

    // A removed key's slot: not empty (the search goes on past it), not a key.
    static char *Tombstone()
    {
        static char marker;
        return &marker;
    }
    static bool IsKey(const char *key) { return key && key != Tombstone(); }

    Page *NewPage()
    {
        const size_t bytes = sizeof(Page) + static_cast<size_t>(size_) * (sizeof(char *) + sizeof(T *));
        Page *page = static_cast<Page *>(std::calloc(1, bytes));
        if (!page) return nullptr;
        page->keys = reinterpret_cast<char **>(page + 1);
        page->values = reinterpret_cast<T **>(page->keys + size_);
        return page;
    }

    // The slot holding key, or where it would go: the first removed slot on
    // its path, else the empty slot that ends the path. With grow, missing
    // pages are made; without, a path that runs off the chain ends there
    // (page null when nothing usable was passed).
    Slot Find(const char *key, bool grow) const
    {
        Slot spare = {nullptr, 0, false};
        if (!key) return spare;
        const unsigned int h2 = NameHash2(key);
        unsigned int index = NameHash1(key) % static_cast<unsigned int>(size_);
        Page **link = &first_;
        for (;;) {
            if (!*link) {
                if (!grow || spare.page) return spare;
                *link = const_cast<Hashtable *>(this)->NewPage();
                if (!*link) return spare;
            }
            Page *page = *link;
            char *slotKey = page->keys[index];
            if (!slotKey) return spare.page ? spare : Slot{page, static_cast<int>(index), false};
            if (slotKey == Tombstone()) {
                if (!spare.page) spare = Slot{page, static_cast<int>(index), false};
            } else if (std::strcmp(slotKey, key) == 0) {
                return Slot{page, static_cast<int>(index), true};
            }
            index = static_cast<unsigned int>((static_cast<unsigned long long>(h2) * index) % size_);
            link = &page->next;
        }
    }

    void Erase(Page *page, int index)
    {
        std::free(page->keys[index]);
        page->keys[index] = Tombstone();
        page->values[index] = nullptr;
        --count_;
    }

    int size_;
    mutable Page *first_ = nullptr;
    int count_ = 0;
};

} // namespace kelmar

#endif
