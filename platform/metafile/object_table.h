#pragma once

#include "gdi_objects.h"

#include <vector>

namespace platform::metafile {

/// A metafile's object table: WMF records put each new object into the lowest free slot;
/// EMF records name their slot. At most MaxObjects slots; objects beyond are dropped.
class ObjectTable {
public:
    static constexpr quint32 MaxObjects = 65535;

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
    std::vector<GdiObject> m_slots;
    std::vector<bool> m_used;
    size_t m_firstFree = 0;
};

} // namespace platform::metafile
