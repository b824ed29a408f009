// The kernel for processors with 256-bit vectors: four lanes of doubles, masks
// as vectors of all-ones lanes, the eight positions in two runs of four. This
// file is built for that instruction set and reached only through the
// dispatcher, after the processor has said it has it.
#include "model/evaluation/errorKernel.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#include "model/evaluation/errorKernelLanes.h"

namespace kalvex {

namespace {

struct narrowLanes {
    using real = __m256d;
    using mask = __m256d;
    using whole = __m128i;
    using index = __m256i;
    using counter = __m256i;
    static constexpr std::size_t width = 4;

    static real load(const double* values) { return _mm256_load_pd(values); }
    static real set(double value) { return _mm256_set1_pd(value); }
    static void store(double* values, real v) { _mm256_store_pd(values, v); }
    static real add(real a, real b) { return _mm256_add_pd(a, b); }
    static real sub(real a, real b) { return _mm256_sub_pd(a, b); }
    static real mul(real a, real b) { return _mm256_mul_pd(a, b); }
    static real div(real a, real b) { return _mm256_div_pd(a, b); }
    static real magnitude(real a) { return _mm256_andnot_pd(set(-0.0), a); }
    static real keep(mask m, real a) { return _mm256_and_pd(m, a); }

    static mask firstLanes(std::size_t count) {
        return _mm256_castsi256_pd(_mm256_cmpgt_epi64(_mm256_set1_epi64x(static_cast<long long>(count)),
                                                      _mm256_set_epi64x(3, 2, 1, 0)));
    }
    static bool any(mask m) { return _mm256_movemask_pd(m) != 0; }
    static bool has(mask m, std::size_t lane) { return ((_mm256_movemask_pd(m) >> lane) & 1) != 0; }
    static mask either(mask a, mask b) { return _mm256_or_pd(a, b); }
    static mask without(mask a, mask b) { return _mm256_andnot_pd(b, a); }
    static mask atLeast(mask m, real a, real b) { return _mm256_and_pd(m, _mm256_cmp_pd(a, b, _CMP_GE_OQ)); }
    static mask below(mask m, real a, real b) { return _mm256_and_pd(m, _mm256_cmp_pd(a, b, _CMP_LT_OQ)); }
    static mask atMost(mask m, real a, real b) { return _mm256_and_pd(m, _mm256_cmp_pd(a, b, _CMP_LE_OQ)); }
    static mask above(mask m, real a, real b) { return _mm256_and_pd(m, _mm256_cmp_pd(a, b, _CMP_GT_OQ)); }

    static whole truncate(real a) { return _mm256_cvttpd_epi32(a); }
    static real widen(whole a) { return _mm256_cvtepi32_pd(a); }
    static index nodes(whole r, whole c, std::size_t width) {
        const __m256i product =
            _mm256_mul_epu32(_mm256_cvtepi32_epi64(r), _mm256_set1_epi64x(static_cast<long long>(width)));
        return _mm256_add_epi64(product, _mm256_cvtepi32_epi64(c));
    }
    // Whether every lane inside lies next to the node of the first lane, which is inside.
    static bool shared(index node, mask inside, std::size_t& first) {
        const int insideBits = _mm256_movemask_pd(inside);
        const __m256i firstNode = _mm256_permute4x64_epi64(node, 0);
        const int sameBits = _mm256_movemask_pd(_mm256_castsi256_pd(_mm256_cmpeq_epi64(node, firstNode)));
        first = static_cast<std::size_t>(_mm_cvtsi128_si64(_mm256_castsi256_si128(node)));
        return (insideBits & 1) != 0 && (sameBits & insideBits) == insideBits;
    }
    static real planeField(const double* planes, index node, mask inside, int field) {
        const __m256i slot = _mm256_add_epi64(_mm256_add_epi64(node, node), node);
        return _mm256_mask_i64gather_pd(set(0.0), planes + field, slot, inside, 8);
    }
    // A gather of floats takes its mask in 32-bit lanes: the low halves of the 64-bit ones.
    static real cellAt(const float* cells, index node, long long offset, mask inside) {
        const __m256i slot = _mm256_add_epi64(node, _mm256_set1_epi64x(offset));
        const __m256i halves = _mm256_permutevar8x32_epi32(_mm256_castpd_si256(inside), _mm256_set_epi32(7, 5, 3, 1, 6, 4, 2, 0));
        const __m128 lanesOn = _mm_castsi128_ps(_mm256_castsi256_si128(halves));
        return _mm256_cvtps_pd(_mm256_mask_i64gather_ps(_mm_setzero_ps(), cells, slot, lanesOn, 4));
    }

    static counter noCounts() { return _mm256_setzero_si256(); }
    // A lane of the mask is all ones, minus one as an integer.
    static counter countIn(counter counts, mask m) { return _mm256_sub_epi64(counts, _mm256_castpd_si256(m)); }
    static void storeCounts(long long* values, counter counts) {
        _mm256_store_si256(reinterpret_cast<__m256i*>(values), counts);
    }
};

}  // namespace

void avx2ErrorKernel(const kernelInput& input, const kernelPosition* positions, std::size_t count,
                     double sumOfSquaresLimit, kernelSums* sums) {
    for (std::size_t first = 0; first < count; first += narrowLanes::width) {
        const std::size_t size = count - first < narrowLanes::width ? count - first : narrowLanes::width;
        measureLanes<narrowLanes>(input, positions + first, size, sumOfSquaresLimit, sums + first);
    }
}

}  // namespace kalvex

#endif
