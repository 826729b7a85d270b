// Scanning the text of a feed for the bytes the checking pass must look at.
// Text is nearly all of a feed's bytes, so it is read a vector at a time:
// sixteen bytes with SSE2 (every x86-64 processor has it), thirty-two where
// the processor has AVX2, byte by byte elsewhere. Both scanners stop at the
// same bytes; the text must be followed by kXmlCheckPadding readable bytes.
#pragma once

#include <cstdint>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ORVAN_WIDE_TEXT_SCAN 1
#define ORVAN_TARGET_AVX2 __attribute__((target("avx2")))
#endif

namespace xmltextscan {

constexpr uint64_t Pack(const char* text, int length) {
    uint64_t value = 0;
    for (int i = length - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(text[i]);
    return value;
}

// The length of a reference to one of the five predefined entities at p
// ('&'), or 0. Reads eight bytes; the padding after the text allows that.
inline int PredefinedReference(const unsigned char* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint64_t word = 0;
    std::memcpy(&word, p, 8);
    const uint64_t four = word & 0xFFFFFFFFull;
    const uint64_t five = word & 0xFFFFFFFFFFull;
    const uint64_t six = word & 0xFFFFFFFFFFFFull;
    // Without branches: the kind of reference varies from one to the next.
    return ((four == Pack("&lt;", 4)) | (four == Pack("&gt;", 4))) * 4 +
           (five == Pack("&amp;", 5)) * 5 +
           ((six == Pack("&quot;", 6)) | (six == Pack("&apos;", 6))) * 6;
#else
    for (const char* entity : {"&lt;", "&gt;", "&amp;", "&quot;", "&apos;"}) {
        const size_t length = std::strlen(entity);
        if (std::memcmp(p, entity, length) == 0)
            return static_cast<int>(length);
    }
    return 0;
#endif
}

// The first byte at or after p that text cannot simply pass over: '<', ']',
// a control character (tab, LF and CR included, the closing 0 too), a byte
// of a multi-byte character, or an '&' that does not start a reference to a
// predefined entity.
inline const unsigned char* ScanText(const unsigned char* p) {
#ifdef __SSE2__
    const __m128i lt = _mm_set1_epi8('<');
    const __m128i amp = _mm_set1_epi8('&');
    const __m128i bracket = _mm_set1_epi8(']');
    const __m128i blank = _mm_set1_epi8(' ');
    const __m128i ell = _mm_set1_epi8('l');
    const __m128i gee = _mm_set1_epi8('g');
    const __m128i tee = _mm_set1_epi8('t');
    const __m128i semicolon = _mm_set1_epi8(';');
    for (;;) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        // Signed: bytes of multi-byte characters count as below the blank,
        // with control characters, tab and LF. Tabs and line breaks inside
        // text are few enough to be passed over by the caller.
        const __m128i isAmp = _mm_cmpeq_epi8(x, amp);
        const __m128i special =
            _mm_or_si128(_mm_or_si128(_mm_cmplt_epi8(x, blank), isAmp),
                         _mm_or_si128(_mm_cmpeq_epi8(x, lt), _mm_cmpeq_epi8(x, bracket)));
        const unsigned any = static_cast<unsigned>(_mm_movemask_epi8(special));
        if (!any) {
            p += 16;
            continue;
        }
        unsigned amps = static_cast<unsigned>(_mm_movemask_epi8(isAmp));
        const unsigned stop = any & ~amps;
        if (amps) {
            // Only the references before the first other stop matter now.
            if (stop)
                amps &= (1u << __builtin_ctz(stop)) - 1u;
            // "&lt;" and "&gt;", most references in escaped HTML, are told
            // apart for the whole block at once.
            const __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
            const __m128i x2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2));
            const __m128i x3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 3));
            const __m128i angle = _mm_and_si128(
                _mm_or_si128(_mm_cmpeq_epi8(x1, ell), _mm_cmpeq_epi8(x1, gee)),
                _mm_and_si128(_mm_cmpeq_epi8(x2, tee), _mm_cmpeq_epi8(x3, semicolon)));
            amps &= ~static_cast<unsigned>(_mm_movemask_epi8(angle));
            while (amps) {
                const unsigned k = static_cast<unsigned>(__builtin_ctz(amps));
                if (!PredefinedReference(p + k))
                    return p + k;
                amps &= amps - 1;
            }
        }
        if (stop)
            return p + __builtin_ctz(stop);
        p += 16;
    }
#else
    for (;; ++p) {
        const unsigned char c = *p;
        if (c == '&' && PredefinedReference(p))
            continue;
        if (c == '<' || c == '&' || c == ']' || c >= 0x80 || c < 0x20)
            return p;
    }
#endif
}

// The first byte at or after p that the text of a CDATA section cannot
// simply pass over: ']', a control character (tab, LF, CR and the closing 0
// included) or a byte of a multi-byte character.
inline const unsigned char* ScanCdata(const unsigned char* p) {
#ifdef __SSE2__
    const __m128i bracket = _mm_set1_epi8(']');
    const __m128i blank = _mm_set1_epi8(' ');
    for (;; p += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned stop = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmplt_epi8(x, blank), _mm_cmpeq_epi8(x, bracket))));
        if (stop)
            return p + __builtin_ctz(stop);
    }
#else
    while (*p >= 0x20 && *p < 0x80 && *p != ']')
        ++p;
    return p;
#endif
}

// Passes over whole 16-byte blocks that hold only ASCII text can pass over
// (no control character or ']'; in content no '<', and no '&' other than
// those of "&lt;" and "&gt;") and two- and three-byte characters that are
// certainly valid XML characters; stops at the first block that holds
// anything else, for the caller to read byte by byte. A character cut by
// the end of a block is left for the next one. Text in Cyrillic, Greek,
// Hebrew, Arabic or CJK script is nearly all such blocks, and a byte loop
// over it would mispredict a branch at most characters.
template <bool InCdata> inline const unsigned char* SkipUtf8Blocks(const unsigned char* p) {
#ifdef __SSE2__
    const __m128i lt = _mm_set1_epi8('<');
    const __m128i amp = _mm_set1_epi8('&');
    const __m128i bracket = _mm_set1_epi8(']');
    // The blocks follow one another at a fixed step, so the next load does
    // not wait for this block's sums; a character cut by the end of a block
    // is checked by the next one through carry.
    unsigned carry = 0;
    unsigned back = 0;
    for (;; p += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        // As signed bytes, 0x80-0xBF (continuation bytes) are -128 to -65,
        // 0xC2-0xDF (leads of two bytes) -62 to -33, 0xE1-0xEC and 0xEE
        // (leads of three bytes that need no further check) -31 to -20
        // and -18. E0, ED and EF lead to overlong forms, surrogates and
        // U+FFFE/U+FFFF among others, and go the full way.
        const __m128i cont = _mm_cmplt_epi8(x, _mm_set1_epi8(-64));
        const __m128i lead2 = _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(-63)),
                                            _mm_cmplt_epi8(x, _mm_set1_epi8(-32)));
        const __m128i lead3 = _mm_or_si128(_mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(-32)),
                                                         _mm_cmplt_epi8(x, _mm_set1_epi8(-19))),
                                           _mm_cmpeq_epi8(x, _mm_set1_epi8(-18)));
        __m128i markup = _mm_cmpeq_epi8(x, bracket);
        if (!InCdata) {
            markup = _mm_or_si128(markup, _mm_cmpeq_epi8(x, lt));
            const __m128i isAmp = _mm_cmpeq_epi8(x, amp);
            // The look-ahead only for blocks that hold a reference.
            if (_mm_movemask_epi8(isAmp)) {
                const __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
                const __m128i x2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2));
                const __m128i x3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 3));
                const __m128i angle =
                    _mm_and_si128(_mm_or_si128(_mm_cmpeq_epi8(x1, _mm_set1_epi8('l')),
                                               _mm_cmpeq_epi8(x1, _mm_set1_epi8('g'))),
                                  _mm_and_si128(_mm_cmpeq_epi8(x2, _mm_set1_epi8('t')),
                                                _mm_cmpeq_epi8(x3, _mm_set1_epi8(';'))));
                markup = _mm_or_si128(markup, _mm_andnot_si128(angle, isAmp));
            }
        }
        const __m128i text = _mm_andnot_si128(markup, _mm_cmpgt_epi8(x, _mm_set1_epi8(0x1F)));
        const auto c = static_cast<unsigned>(_mm_movemask_epi8(cont));
        const auto l2 = static_cast<unsigned>(_mm_movemask_epi8(lead2));
        const auto l3 = static_cast<unsigned>(_mm_movemask_epi8(lead3));
        if ((static_cast<unsigned>(_mm_movemask_epi8(text)) | c | l2 | l3) != 0xFFFFu)
            return p - back;
        // Every continuation byte must follow its lead, those of a character
        // the last block cut included.
        const unsigned expected = (l2 << 1) | (l3 << 1) | (l3 << 2);
        if ((c ^ ((expected & 0xFFFFu) | carry)) != 0)
            return p - back;
        carry = expected >> 16;
        // Where the character the block cuts starts, for the caller to go
        // back to: a lead of three bytes at 14, or else any lead at 15.
        back = (l3 & 0x4000u) ? 2 : ((l2 | l3) >> 15);
    }
#else
    return p;
#endif
}

#ifdef ORVAN_WIDE_TEXT_SCAN
// ScanText thirty-two bytes at a time.
ORVAN_TARGET_AVX2 inline const unsigned char* ScanTextWide(const unsigned char* p) {
    const __m256i lt = _mm256_set1_epi8('<');
    const __m256i amp = _mm256_set1_epi8('&');
    const __m256i bracket = _mm256_set1_epi8(']');
    const __m256i blank = _mm256_set1_epi8(' ');
    const __m256i ell = _mm256_set1_epi8('l');
    const __m256i gee = _mm256_set1_epi8('g');
    const __m256i tee = _mm256_set1_epi8('t');
    const __m256i semicolon = _mm256_set1_epi8(';');
    for (;;) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i isAmp = _mm256_cmpeq_epi8(x, amp);
        const __m256i special = _mm256_or_si256(
            _mm256_or_si256(_mm256_cmpgt_epi8(blank, x), isAmp),
            _mm256_or_si256(_mm256_cmpeq_epi8(x, lt), _mm256_cmpeq_epi8(x, bracket)));
        const unsigned any = static_cast<unsigned>(_mm256_movemask_epi8(special));
        if (!any) {
            p += 32;
            continue;
        }
        unsigned amps = static_cast<unsigned>(_mm256_movemask_epi8(isAmp));
        const unsigned stop = any & ~amps;
        if (amps) {
            if (stop)
                amps &= (1u << __builtin_ctz(stop)) - 1u;
            const __m256i x1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
            const __m256i x2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 2));
            const __m256i x3 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 3));
            const __m256i angle = _mm256_and_si256(
                _mm256_or_si256(_mm256_cmpeq_epi8(x1, ell), _mm256_cmpeq_epi8(x1, gee)),
                _mm256_and_si256(_mm256_cmpeq_epi8(x2, tee), _mm256_cmpeq_epi8(x3, semicolon)));
            amps &= ~static_cast<unsigned>(_mm256_movemask_epi8(angle));
            while (amps) {
                const unsigned k = static_cast<unsigned>(__builtin_ctz(amps));
                if (!PredefinedReference(p + k))
                    return p + k;
                amps &= amps - 1;
            }
        }
        if (stop)
            return p + __builtin_ctz(stop);
        p += 32;
    }
}

// ScanCdata thirty-two bytes at a time.
ORVAN_TARGET_AVX2 inline const unsigned char* ScanCdataWide(const unsigned char* p) {
    const __m256i bracket = _mm256_set1_epi8(']');
    const __m256i blank = _mm256_set1_epi8(' ');
    for (;; p += 32) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const unsigned stop = static_cast<unsigned>(_mm256_movemask_epi8(
            _mm256_or_si256(_mm256_cmpgt_epi8(blank, x), _mm256_cmpeq_epi8(x, bracket))));
        if (stop)
            return p + __builtin_ctz(stop);
    }
}

#else
inline const unsigned char* ScanTextWide(const unsigned char* p) {
    return ScanText(p);
}
inline const unsigned char* ScanCdataWide(const unsigned char* p) {
    return ScanCdata(p);
}
#endif

// Whether ScanTextWide can run here.
inline bool WideTextScanAvailable() {
#ifdef ORVAN_WIDE_TEXT_SCAN
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
#else
    return false;
#endif
}

} // namespace xmltextscan
