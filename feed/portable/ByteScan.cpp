// Line ends and ATC lines found sixteen or thirty-two bytes at a time (see ByteScan.h).
#include "feed/portable/ByteScan.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define HV_BYTESCAN_AVX2 1
#endif

namespace hv {
namespace {

const char* FindLineEndBytes(const char* p, const char* end) {
  while (p < end && *p != '\r' && *p != '\n') ++p;
  return p;
}

// The byte-by-byte scan of a client line, from `p` with `colons` colons already passed.
bool ScanClientLineBytes(const char* p, const char* end, int colons, const char*& lineEnd) {
  for (; p < end && *p != '\r' && *p != '\n'; ++p) {
    if (*p == ':' && ++colons == 3) {
      lineEnd = FindLineEndBytes(p + 1, end);
      return IsAtcField(p + 1, lineEnd);
    }
  }
  lineEnd = p;
  return false;
}

unsigned FindColonsBytes(const char* p, const char* end, unsigned colons, unsigned last, std::uint64_t wanted,
                         const char** at) {
  for (; p < end; ++p) {
    if (*p != ':') continue;
    ++colons;
    if ((wanted >> colons) & 1) at[colons] = p;
    if (colons == last) break;
  }
  return colons;
}

// The position of the n-th set bit of `mask` (n from 1), `mask` having at least n.
inline unsigned NthBit(unsigned mask, unsigned n) {
  while (--n) mask &= mask - 1;
  return static_cast<unsigned>(__builtin_ctz(mask));
}

// The colons of one block, given as a bit mask: the wanted ones among them are stored,
// the others only counted. True once the last one is passed.
template <unsigned (*nthBit)(unsigned, unsigned)>
inline bool TakeColons(const char* block, unsigned mask, unsigned& colons, unsigned last, std::uint64_t wanted,
                       const char** at) {
  const unsigned count = static_cast<unsigned>(__builtin_popcount(mask));
  for (std::uint64_t inBlock = (((std::uint64_t{1} << count) - 1) << (colons + 1)) & wanted; inBlock;
       inBlock &= inBlock - 1) {
    const unsigned k = static_cast<unsigned>(__builtin_ctzll(inBlock));
    at[k] = block + nthBit(mask, k - colons);
    if (k == last) {
      colons = last;
      return true;
    }
  }
  colons += count;
  return false;
}

#ifdef HV_BYTESCAN_SSE2
unsigned FindColonsSse2(const char* p, const char* end, unsigned last, std::uint64_t wanted, const char** at) {
  const __m128i colon = _mm_set1_epi8(':');
  unsigned colons = 0;
  for (; end - p >= 16; p += 16) {
    const unsigned mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), colon)));
    if (mask && TakeColons<NthBit>(p, mask, colons, last, wanted, at)) return colons;
  }
  return FindColonsBytes(p, end, colons, last, wanted, at);
}

const char* FindLineEndSse2(const char* p, const char* end) {
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  for (; end - p >= 16; p += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned eol =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
    if (eol) return p + __builtin_ctz(eol);
  }
  return FindLineEndBytes(p, end);
}

bool ScanClientLineSse2(const char* p, const char* end, const char*& lineEnd) {
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i colon = _mm_set1_epi8(':');
  int colons = 0;
  for (; end - p >= 16; p += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned eol =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
    unsigned colonBits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, colon)));
    if (eol) colonBits &= (eol & (0u - eol)) - 1;  // only the colons before the line end
    for (; colonBits; colonBits &= colonBits - 1) {
      if (++colons == 3) {
        const char* field4 = p + __builtin_ctz(colonBits) + 1;
        lineEnd = eol ? p + __builtin_ctz(eol) : FindLineEndSse2(p + 16, end);
        return IsAtcField(field4, lineEnd);
      }
    }
    if (eol) {
      lineEnd = p + __builtin_ctz(eol);
      return false;  // fewer than four fields
    }
  }
  return ScanClientLineBytes(p, end, colons, lineEnd);
}
#endif

#ifdef HV_BYTESCAN_AVX2
__attribute__((target("avx2,bmi"))) const char* FindLineEndAvx2(const char* p, const char* end) {
  const __m256i cr = _mm256_set1_epi8('\r');
  const __m256i lf = _mm256_set1_epi8('\n');
  // 64 bytes a round, one test for both halves.
  for (; end - p >= 64; p += 64) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    const __m256i ea = _mm256_or_si256(_mm256_cmpeq_epi8(a, cr), _mm256_cmpeq_epi8(a, lf));
    const __m256i eb = _mm256_or_si256(_mm256_cmpeq_epi8(b, cr), _mm256_cmpeq_epi8(b, lf));
    if (!_mm256_testz_si256(_mm256_or_si256(ea, eb), _mm256_or_si256(ea, eb))) {
      const std::uint64_t eol = static_cast<std::uint32_t>(_mm256_movemask_epi8(ea)) |
                                (static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(eb))) << 32);
      return p + __builtin_ctzll(eol);
    }
  }
  for (; end - p >= 32; p += 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const unsigned eol = static_cast<unsigned>(
        _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(v, cr), _mm256_cmpeq_epi8(v, lf))));
    if (eol) return p + __builtin_ctz(eol);
  }
  return FindLineEndSse2(p, end);
}

__attribute__((target("bmi2"))) inline unsigned NthBitBmi2(unsigned mask, unsigned n) {
  return static_cast<unsigned>(__builtin_ctz(_pdep_u32(1u << (n - 1), mask)));
}

__attribute__((target("avx2,popcnt,bmi,bmi2"))) unsigned FindColonsAvx2(const char* p, const char* end, unsigned last,
                                                              std::uint64_t wanted, const char** at) {
  const __m256i colon = _mm256_set1_epi8(':');
  unsigned colons = 0;
  for (; end - p >= 32; p += 32) {
    const unsigned mask = static_cast<unsigned>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), colon)));
    if (mask && TakeColons<NthBitBmi2>(p, mask, colons, last, wanted, at)) return colons;
  }
  return FindColonsBytes(p, end, colons, last, wanted, at);
}

__attribute__((target("avx2,popcnt,bmi,bmi2"))) bool ScanClientLineAvx2(const char* p, const char* end,
                                                                        const char*& lineEnd) {
  const __m256i cr = _mm256_set1_epi8('\r');
  const __m256i lf = _mm256_set1_epi8('\n');
  const __m256i colon = _mm256_set1_epi8(':');
  unsigned colons = 0;
  for (; end - p >= 32; p += 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const unsigned eol = static_cast<unsigned>(
        _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(v, cr), _mm256_cmpeq_epi8(v, lf))));
    unsigned colonBits = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, colon)));
    if (eol) colonBits &= (eol & (0u - eol)) - 1;  // only the colons before the line end
    const unsigned count = static_cast<unsigned>(__builtin_popcount(colonBits));
    if (colons + count >= 3) {
      const char* field4 = p + NthBitBmi2(colonBits, 3 - colons) + 1;
      lineEnd = eol ? p + __builtin_ctz(eol) : FindLineEndAvx2(p + 32, end);
      return IsAtcField(field4, lineEnd);
    }
    if (eol) {
      lineEnd = p + __builtin_ctz(eol);
      return false;  // fewer than four fields
    }
    colons += count;
  }
  return ScanClientLineBytes(p, end, static_cast<int>(colons), lineEnd);
}
#endif

bool ScanClientLineFromStart(const char* p, const char* end, const char*& lineEnd) {
  return ScanClientLineBytes(p, end, 0, lineEnd);
}

unsigned FindColonsFromStart(const char* p, const char* end, unsigned last, std::uint64_t wanted, const char** at) {
  return FindColonsBytes(p, end, 0, last, wanted, at);
}

const ByteScanner kScanners[] = {
    {"bytes", FindLineEndBytes, ScanClientLineFromStart, FindColonsFromStart},
#ifdef HV_BYTESCAN_SSE2
    {"SSE2", FindLineEndSse2, ScanClientLineSse2, FindColonsSse2},
#endif
#ifdef HV_BYTESCAN_AVX2
    {"AVX2", FindLineEndAvx2, ScanClientLineAvx2, FindColonsAvx2},
#endif
};
constexpr int kScannerCount = sizeof kScanners / sizeof kScanners[0];

// How many of kScanners this processor runs: AVX2 needs AVX2 with POPCNT, BMI1 and BMI2,
// as every processor with AVX2 has them. Asked once, when first needed (not during static
// initialisation, so a parser called from another file's static initialiser is safe).
int Usable() {
#ifdef HV_BYTESCAN_AVX2
  static const int usable = [] {
    __builtin_cpu_init();
    const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") &&
                      __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
    return avx2 ? kScannerCount : kScannerCount - 1;
  }();
  return usable;
#else
  return kScannerCount;
#endif
}

// The fastest one this processor runs.
const ByteScanner& Best() {
  static const ByteScanner& best = kScanners[Usable() - 1];
  return best;
}

}  // namespace

const ByteScanner* ByteScanners(int& count) {
  count = Usable();
  return kScanners;
}

const char* FindLineEnd(const char* p, const char* end) { return Best().findLineEnd(p, end); }

bool ScanClientLine(const char* p, const char* end, const char*& lineEnd) {
  return Best().scanClientLine(p, end, lineEnd);
}

unsigned FindColons(const char* p, const char* end, unsigned last, std::uint64_t wanted, const char** at) {
  return Best().findColons(p, end, last, wanted, at);
}

}  // namespace hv
