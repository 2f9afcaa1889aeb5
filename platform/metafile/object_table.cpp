#include "object_table.h"

namespace platform::metafile {

qint64 ObjectTable::add(GdiObject object)
{
    size_t index = m_firstFree;
    while (index < m_used.size() && m_used[index])
        ++index;
    if (index >= MaxObjects)
        return -1;
    if (index == m_slots.size()) {
        m_slots.emplace_back();
        m_used.push_back(false);
    }
    m_slots[index] = std::move(object);
    m_used[index] = true;
    m_firstFree = index + 1;
    return qint64(index);
}

void ObjectTable::set(quint32 index, GdiObject object)
{
    if (index >= MaxObjects)
        return;
    if (index >= m_slots.size()) {
        m_slots.resize(size_t(index) + 1);
        m_used.resize(size_t(index) + 1, false);
    }
    m_slots[index] = std::move(object);
    m_used[index] = true;
}

const GdiObject* ObjectTable::get(quint32 index) const
{
    if (index >= m_slots.size() || !m_used[index])
        return nullptr;
    return &m_slots[index];
}

void ObjectTable::remove(quint32 index)
{
    if (index >= m_slots.size() || !m_used[index])
        return;
    m_slots[index] = std::monostate{};
    m_used[index] = false;
    if (index < m_firstFree)
        m_firstFree = index;
}

} // namespace platform::metafile
