// The kernel for processors with 512-bit vectors: eight lanes of doubles,
// masks in mask registers. This file is built for that instruction set and
// reached only through the dispatcher, after the processor has said it has it.
#include "model/errorKernel.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#include "model/errorKernelLanes.h"

namespace kalvex {

namespace {

// The masked forms of the conversions, with every lane on, leave no lane undefined.
constexpr __mmask8 every = 0xff;

struct wideLanes {
    using real = __m512d;
    using mask = __mmask8;
    using whole = __m256i;
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
    static __m512i nodes(whole r, whole c, std::size_t width) {
        const __m512i rows = _mm512_maskz_cvtepi32_epi64(every, r);
        const __m512i product = _mm512_maskz_mul_epu32(every, rows, _mm512_set1_epi64(static_cast<long long>(width)));
        return _mm512_add_epi64(product, _mm512_maskz_cvtepi32_epi64(every, c));
    }
    // Neighbouring positions mostly put a shot next to the same node: one read serves every lane.
    static void planesAt(const kernelInput& input, __m512i node, mask inside, real& a, real& b, real& g) {
        const __m512i first = _mm512_maskz_permutexvar_epi64(every, _mm512_setzero_si512(), node);
        if ((inside & 1u) != 0 && _mm512_mask_cmpeq_epi64_mask(inside, node, first) == inside) {
            const __m256i low = _mm512_maskz_extracti64x4_epi64(every, node, 0);
            const double* plane = input.planes + 3 * static_cast<std::size_t>(_mm_cvtsi128_si64(_mm256_castsi256_si128(low)));
            a = set(plane[0]);
            b = set(plane[1]);
            g = set(plane[2]);
            return;
        }
        const __m512i slot = _mm512_add_epi64(_mm512_add_epi64(node, node), node);
        a = _mm512_mask_i64gather_pd(set(0.0), inside, slot, input.planes, 8);
        b = _mm512_mask_i64gather_pd(set(0.0), inside, slot, input.planes + 1, 8);
        g = _mm512_mask_i64gather_pd(set(0.0), inside, slot, input.planes + 2, 8);
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
