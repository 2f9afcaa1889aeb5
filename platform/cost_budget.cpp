#include "cost_budget.h"

#include <limits>

namespace platform {

namespace {

// Far beyond any picture the loader accepts; keeps the products below from overflowing.
constexpr qint64 MaxCountedPixels = 1LL << 36;
constexpr qint64 MaxCountedBytes = 1LL << 40;

qint64 clampTo(qint64 value, qint64 limit)
{
    return value < 0 ? 0 : (value > limit ? limit : value);
}

} // namespace

CostBudget::CostBudget(qint64 fileBytes)
    : m_workAllowed(WorkFloor + WorkPerFileByte * clampTo(fileBytes, MaxCountedBytes))
    , m_workingMemoryLeft(WorkingMemoryPerFileByte * clampTo(fileBytes, MaxCountedBytes))
{
}

void CostBudget::allowWorkingMemory(qint64 bytes)
{
    const qint64 granted = clampTo(bytes, m_workingMemoryLeft);
    m_workingMemoryLeft -= granted;
    m_memoryAllowed += granted;
}

void CostBudget::allowPicture(qint64 pixels)
{
    if (m_pictureAllowed)
        return;
    m_pictureAllowed = true;
    const qint64 counted = clampTo(pixels, MaxCountedPixels);
    m_workAllowed += WorkPerPicturePixel * counted;
    m_memoryAllowed += 4 * counted;
}

bool CostBudget::charge(qint64 units)
{
    if (m_spent || units < 0 || units > m_workAllowed - m_work) {
        m_spent = true;
        return false;
    }
    m_work += units;
    return true;
}

bool CostBudget::hold(qint64 bytes)
{
    if (bytes < 0 || bytes > m_memoryAllowed - m_held)
        return false;
    m_held += bytes;
    return true;
}

void CostBudget::release(qint64 bytes)
{
    m_held = bytes > m_held ? 0 : m_held - bytes;
}

} // namespace platform
