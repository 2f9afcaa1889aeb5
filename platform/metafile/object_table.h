#pragma once

#include "gdi_objects.h"

#include <functional>
#include <queue>
#include <vector>

namespace platform {
class CostBudget;
}

namespace platform::metafile {

/// A metafile's object table: WMF records put each new object into the lowest free slot;
/// EMF records name their slot. At most MaxObjects slots; objects beyond are dropped. With a
/// budget, the table holds the memory of the bitmaps its brushes keep: a brush whose pattern
/// does not fit in what is left keeps its colour and loses its pattern.
class ObjectTable {
public:
    static constexpr quint32 MaxObjects = 65535;

    /// A table that counts no memory.
    ObjectTable() = default;
    /// A table that holds its brushes' bitmaps in `budget`, which must outlive it.
    explicit ObjectTable(CostBudget& budget)
        : m_budget(&budget)
    {
    }
    ~ObjectTable();
    ObjectTable(const ObjectTable&) = delete;
    ObjectTable& operator=(const ObjectTable&) = delete;

    /// Puts `object` into the lowest free slot (WMF). Returns the slot, or -1 when full.
    qint64 add(GdiObject object);
    /// Puts `object` into slot `index` (EMF), replacing what was there; ignored out of range.
    void set(quint32 index, GdiObject object);
    /// The object in slot `index`, nullptr when the slot is empty or out of range.
    const GdiObject* get(quint32 index) const;
    /// The object in slot `index` when it is a `T`, else nullptr.
    template <typename T> const T* find(quint32 index) const
    {
        const GdiObject* object = get(index);
        return object ? std::get_if<T>(object) : nullptr;
    }
    /// Empties slot `index`.
    void remove(quint32 index);

private:
    struct Slot {
        GdiObject object;
        bool used = false;
        qint64 heldBytes = 0;
    };
    void put(size_t index, GdiObject object);
    void empty(Slot& slot);

    CostBudget* m_budget = nullptr;
    std::vector<Slot> m_slots;
    // Slots freed below the end, lowest first; an entry whose slot was taken again since is
    // dropped when it comes up.
    std::priority_queue<size_t, std::vector<size_t>, std::greater<>> m_freed;
};

} // namespace platform::metafile
