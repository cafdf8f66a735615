// The copy behind write_until_zero: a record's text taken up to its first
// zero byte in one pass, so that finding its end and storing it cost one
// read of the record. Two forms, both kept compiled and tested: 16-byte
// blocks where the processor has SSE2 (every x86-64), 8-byte words
// elsewhere (the 32-bit target is built for processors without it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qk::platform::detail {

// Both copy the bytes of src up to its first zero byte, at most bound of
// them, to dst and return their count. src is read only within bound; dst
// may receive up to 64 bytes beyond the count, so it needs room for
// bound + 64.

inline std::size_t copy_until_zero_words(char* dst, const char* src, std::size_t bound) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    std::size_t k = 0;
    for (; k + 8 <= bound; k += 8) {
        std::uint64_t word;
        std::memcpy(&word, src + k, 8);
        std::memcpy(dst + k, &word, 8);
        if (((word - kOnes) & ~word & kHighs) != 0) break;  // a zero byte among these eight
    }
    for (; k < bound && src[k] != '\0'; ++k) dst[k] = src[k];
    return k;
}

#if defined(__SSE2__)
inline std::size_t copy_until_zero_blocks(char* dst, const char* src, std::size_t bound) {
    const __m128i zero = _mm_setzero_si128();
    std::size_t k = 0;
    // Four blocks at a time: one test for the usual short record.
    for (; k + 64 <= bound; k += 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k + 32));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k + 48));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k + 16), b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k + 32), c);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k + 48), d);
        const __m128i za = _mm_cmpeq_epi8(a, zero), zb = _mm_cmpeq_epi8(b, zero);
        const __m128i zc = _mm_cmpeq_epi8(c, zero), zd = _mm_cmpeq_epi8(d, zero);
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(za, zb), _mm_or_si128(zc, zd))) != 0) {
            const std::uint64_t found = static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(za))) |
                                        static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(zb))) << 16 |
                                        static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(zc))) << 32 |
                                        static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(zd))) << 48;
            return k + static_cast<std::size_t>(__builtin_ctzll(found));
        }
    }
    for (; k + 16 <= bound; k += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k), block);
        const int found = _mm_movemask_epi8(_mm_cmpeq_epi8(block, zero));
        if (found != 0) return k + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(found)));
    }
    for (; k < bound && src[k] != '\0'; ++k) dst[k] = src[k];
    return k;
}
#endif

inline std::size_t copy_until_zero(char* dst, const char* src, std::size_t bound) {
#if defined(__SSE2__)
    return copy_until_zero_blocks(dst, src, bound);
#else
    return copy_until_zero_words(dst, src, bound);
#endif
}

}  // namespace qk::platform::detail
