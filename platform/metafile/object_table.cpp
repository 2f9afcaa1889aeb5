#include "object_table.h"

#include "platform/cost_budget.h"

namespace platform::metafile {

ObjectTable::~ObjectTable()
{
    for (Slot& slot : m_slots)
        empty(slot);
}

qint64 ObjectTable::add(GdiObject object)
{
    while (!m_freed.empty() && m_slots[m_freed.top()].used)
        m_freed.pop();
    // Every slot below the end that is free was freed (or skipped by set()), so it is in
    // m_freed: its lowest entry is the lowest free slot, else the end is.
    const size_t index = m_freed.empty() ? m_slots.size() : m_freed.top();
    if (index >= MaxObjects)
        return -1;
    if (!m_freed.empty())
        m_freed.pop();
    put(index, std::move(object));
    return qint64(index);
}

void ObjectTable::set(quint32 index, GdiObject object)
{
    if (index >= MaxObjects)
        return;
    put(index, std::move(object));
}

void ObjectTable::put(size_t index, GdiObject object)
{
    if (index >= m_slots.size()) {
        // The slots skipped on the way are free.
        for (size_t skipped = m_slots.size(); skipped < index; ++skipped)
            m_freed.push(skipped);
        m_slots.resize(index + 1);
    }
    Slot& slot = m_slots[index];
    empty(slot);
    if (auto* brush = std::get_if<GdiBrush>(&object);
        brush && m_budget && !brush->pattern.isNull()) {
        const qint64 bytes = brush->pattern.sizeInBytes();
        if (m_budget->hold(bytes)) {
            slot.heldBytes = bytes;
        } else {
            brush->pattern = QImage();
            if (brush->style != BS_NULL && brush->style != BS_HATCHED)
                brush->style = BS_SOLID;
        }
    }
    slot.object = std::move(object);
    slot.used = true;
}

void ObjectTable::empty(Slot& slot)
{
    if (m_budget && slot.heldBytes)
        m_budget->release(slot.heldBytes);
    slot.heldBytes = 0;
    slot.object = std::monostate{};
    slot.used = false;
}

const GdiObject* ObjectTable::get(quint32 index) const
{
    if (index >= m_slots.size() || !m_slots[index].used)
        return nullptr;
    return &m_slots[index].object;
}

void ObjectTable::remove(quint32 index)
{
    if (index >= m_slots.size() || !m_slots[index].used)
        return;
    empty(m_slots[index]);
    m_freed.push(index);
}

} // namespace platform::metafile
