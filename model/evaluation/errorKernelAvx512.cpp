// The kernel for processors with 512-bit vectors: eight lanes of doubles,
// masks in mask registers. This file is built for that instruction set and
// reached only through the dispatcher, after the processor has said it has it.
#include "model/evaluation/errorKernel.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#include "model/evaluation/errorKernelLanes.h"

namespace kalvex {

namespace {

// The masked forms of the conversions, with every lane on, leave no lane undefined.
constexpr __mmask8 every = 0xff;

struct wideLanes {
    using real = __m512d;
    using mask = __mmask8;
    using whole = __m256i;
    using index = __m512i;
    using counter = __m512i;
    static constexpr std::size_t width = 8;

    static real load(const double* values) { return _mm512_load_pd(values); }
    static real set(double value) { return _mm512_set1_pd(value); }
    static void store(double* values, real v) { _mm512_store_pd(values, v); }
    static real add(real a, real b) { return _mm512_add_pd(a, b); }
    static real sub(real a, real b) { return _mm512_sub_pd(a, b); }
    static real mul(real a, real b) { return _mm512_mul_pd(a, b); }
    static real div(real a, real b) { return _mm512_div_pd(a, b); }
    static real magnitude(real a) { return _mm512_abs_pd(a); }
    static real keep(mask m, real a) { return _mm512_maskz_mov_pd(m, a); }

    static mask firstLanes(std::size_t count) { return __mmask8((1u << count) - 1u); }
    static bool any(mask m) { return m != 0; }
    static bool has(mask m, std::size_t lane) { return ((m >> lane) & 1u) != 0; }
    static mask either(mask a, mask b) { return __mmask8(a | b); }
    static mask without(mask a, mask b) { return __mmask8(a & ~b); }
    static mask atLeast(mask m, real a, real b) { return _mm512_mask_cmp_pd_mask(m, a, b, _CMP_GE_OQ); }
    static mask below(mask m, real a, real b) { return _mm512_mask_cmp_pd_mask(m, a, b, _CMP_LT_OQ); }
    static mask atMost(mask m, real a, real b) { return _mm512_mask_cmp_pd_mask(m, a, b, _CMP_LE_OQ); }
    static mask above(mask m, real a, real b) { return _mm512_mask_cmp_pd_mask(m, a, b, _CMP_GT_OQ); }

    static whole truncate(real a) { return _mm512_maskz_cvttpd_epi32(every, a); }
    static real widen(whole a) { return _mm512_maskz_cvtepi32_pd(every, a); }
    static index nodes(whole r, whole c, std::size_t width) {
        const __m512i rows = _mm512_maskz_cvtepi32_epi64(every, r);
        const __m512i product = _mm512_maskz_mul_epu32(every, rows, _mm512_set1_epi64(static_cast<long long>(width)));
        return _mm512_add_epi64(product, _mm512_maskz_cvtepi32_epi64(every, c));
    }
    // Whether every lane inside lies next to the node of the first lane, which is inside.
    static bool shared(index node, mask inside, std::size_t& first) {
        const __m512i firstNode = _mm512_maskz_permutexvar_epi64(every, _mm512_setzero_si512(), node);
        const __m256i low = _mm512_maskz_extracti64x4_epi64(every, node, 0);
        first = static_cast<std::size_t>(_mm_cvtsi128_si64(_mm256_castsi256_si128(low)));
        return (inside & 1u) != 0 && _mm512_mask_cmpeq_epi64_mask(inside, node, firstNode) == inside;
    }
    static real planeField(const double* planes, index node, mask inside, int field) {
        const __m512i slot = _mm512_add_epi64(_mm512_add_epi64(node, node), node);
        return _mm512_mask_i64gather_pd(set(0.0), inside, slot, planes + field, 8);
    }
    static real cellAt(const float* cells, index node, long long offset, mask inside) {
        const __m512i slot = _mm512_add_epi64(node, _mm512_set1_epi64(offset));
        return _mm512_maskz_cvtps_pd(every, _mm512_mask_i64gather_ps(_mm256_setzero_ps(), inside, slot, cells, 4));
    }

    static counter noCounts() { return _mm512_setzero_si512(); }
    static counter countIn(counter counts, mask m) {
        return _mm512_mask_add_epi64(counts, m, counts, _mm512_set1_epi64(1));
    }
    static void storeCounts(long long* values, counter counts) { _mm512_store_si512(values, counts); }
};

}  // namespace

void avx512ErrorKernel(const kernelInput& input, const kernelPosition* positions, std::size_t count,
                       double sumOfSquaresLimit, kernelSums* sums) {
    measureLanes<wideLanes>(input, positions, count, sumOfSquaresLimit, sums);
}

}  // namespace kalvex

#endif
