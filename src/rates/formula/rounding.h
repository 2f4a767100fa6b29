// The whole-number functions of the formula language (TRUNC and INT, CEIL, FLOOR), shared
// by the operation list and the direct forms so that both compute the same bits.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#if defined(__SSE2__) && (defined(__x86_64__) || defined(_M_X64))
#include <emmintrin.h>
#endif

namespace formula::rounding {

inline constexpr double TwoPow52 = 4503599627370496.0;

// Truncation toward zero as a double; beyond 2^52 every double is already whole. A zero
// result is +0 whatever the sign of the argument.
inline double truncate(double v)
{
#if defined(__SSE2__) && (defined(__x86_64__) || defined(_M_X64))
    // The conversion gives INT64_MIN for NaN and beyond the 64-bit range, where (as at
    // -2^63 itself) v is its own truncation; between 2^52 and 2^63 the round trip is
    // exact. So this is the portable form below with one integer test instead of two
    // floating-point constants.
    const std::int64_t i = _mm_cvttsd_si64(_mm_set_sd(v));
    return i == std::numeric_limits<std::int64_t>::min() ? v : double(i);
#else
    return std::fabs(v) < TwoPow52 ? double(std::int64_t(v)) : v;
#endif
}

inline double ceiling(double v)
{
    const double t = truncate(v);
    return v - t > 0.0 ? t + 1.0 : t;
}

inline double floor(double v)
{
    const double t = truncate(v);
    return v - t >= 0.0 ? t : t - 1.0;
}

} // namespace formula::rounding
