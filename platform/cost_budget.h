#pragma once

#include <QtGlobal>

namespace platform {

/// What decoding and drawing one picture may cost, so that no file, however it is made, can
/// take more than a small constant times what its own size and its picture's size justify.
/// Work is counted in units of about one pixel written (decoded, filled, cleared or copied);
/// other work is charged at what it costs in those units. Memory is the bytes held at once
/// (pixels of images, brushes and bitmaps kept in object tables). Once the work is spent
/// every later charge fails, so a decoder refuses the file and a player stops drawing,
/// keeping what it drew.
class CostBudget {
public:
    /// Work units allowed per byte of file, per pixel of the picture's own size, and always.
    static constexpr qint64 WorkPerFileByte = 256;
    static constexpr qint64 WorkPerPicturePixel = 64;
    static constexpr qint64 WorkFloor = 64LL << 20;
    /// Memory allowed beside the picture's own pixels (4 bytes each).
    static constexpr qint64 MemoryFloor = 256LL << 20;
    /// Working memory a decoder's library may need beyond that, per byte of file, in sum.
    static constexpr qint64 WorkingMemoryPerFileByte = 32;

    /// A budget for a file of `fileBytes` bytes, before its picture's size is known.
    explicit CostBudget(qint64 fileBytes);

    /// Grows the work and memory allowed by what a picture of `pixels` own pixels justifies;
    /// called once, when the size is known. Sizes beyond reason are not counted.
    void allowPicture(qint64 pixels);

    /// Grows the memory allowed by `bytes` of working memory that decoding the picture needs
    /// beside its pixels (a progressive JPEG's coefficients, say), as far as the file's size
    /// justifies: WorkingMemoryPerFileByte per byte, in sum over all calls.
    void allowWorkingMemory(qint64 bytes);

    /// Charges `units` of work; false, and spent() from then on, when the work allowed is
    /// spent. A negative charge is a fault of the caller and fails.
    bool charge(qint64 units);

    /// Holds `bytes` of memory until release(); false (and nothing held) when it would pass
    /// the memory allowed.
    bool hold(qint64 bytes);
    /// Gives back memory held before.
    void release(qint64 bytes);

    bool spent() const { return m_spent; }
    qint64 workLeft() const { return m_workAllowed - m_work; }
    qint64 workDone() const { return m_work; }
    qint64 memoryHeld() const { return m_held; }
    qint64 memoryAllowed() const { return m_memoryAllowed; }

private:
    qint64 m_workAllowed;
    qint64 m_work = 0;
    qint64 m_memoryAllowed = MemoryFloor;
    qint64 m_held = 0;
    qint64 m_workingMemoryLeft;
    bool m_pictureAllowed = false;
    bool m_spent = false;
};

} // namespace platform
