#pragma once

#include <QtGlobal>

#include <optional>

namespace platform {

/// Sizes that a file states (widths, heights, strides, counts) multiplied and added only
/// where the result fits: nothing when it would not fit in 64 signed bits.
inline std::optional<qint64> checkedMul(qint64 a, qint64 b)
{
    qint64 product = 0;
    if (__builtin_mul_overflow(a, b, &product))
        return std::nullopt;
    return product;
}

inline std::optional<qint64> checkedAdd(qint64 a, qint64 b)
{
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return std::nullopt;
    return sum;
}

/// a * b + c, or nothing when any step would not fit.
inline std::optional<qint64> checkedMulAdd(qint64 a, qint64 b, qint64 c)
{
    const std::optional<qint64> product = checkedMul(a, b);
    return product ? checkedAdd(*product, c) : std::nullopt;
}

} // namespace platform
