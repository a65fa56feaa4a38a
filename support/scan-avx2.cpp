// SPDX-License-Identifier: MIT
// The AVX2 kernels.  Only this file uses AVX2 instructions, and only through
// functions marked for it, so the rest of the program runs on any x86-64.
#if defined(__x86_64__)

#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "scan.hpp"

#define SITKO_AVX2 __attribute__((target("avx2,popcnt")))

namespace sitko::avx2 {

namespace {

constexpr std::size_t LANES = 32;
// Byte counters wrap after 255 additions; fold them into 64-bit sums first.
constexpr std::size_t FOLD_EVERY = 255;

SITKO_AVX2 long long fold(__m256i counters)
{
	__m256i sums = _mm256_sad_epu8(counters, _mm256_setzero_si256());
	return _mm256_extract_epi64(sums, 0) + _mm256_extract_epi64(sums, 1) +
	       _mm256_extract_epi64(sums, 2) + _mm256_extract_epi64(sums, 3);
}

SITKO_AVX2 __m256i load(const unsigned char *p)
{
	return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
}

SITKO_AVX2 __m256i splat(unsigned char c)
{
	return _mm256_set1_epi8(static_cast<char>(c));
}

// The compare result is -1 in each matching byte, so subtracting it counts.
template <std::size_t N>
SITKO_AVX2 const unsigned char *tallyvectors(const unsigned char *p, std::size_t vectors,
					     const tallyset &set, long long *counts)
{
	__m256i want[N];
	for (std::size_t k = 0; k < N; k++)
		want[k] = splat(set.value[k]);
	while (vectors > 0) {
		std::size_t run = vectors < FOLD_EVERY ? vectors : FOLD_EVERY;
		__m256i counters[N];
		for (std::size_t k = 0; k < N; k++)
			counters[k] = _mm256_setzero_si256();
		for (std::size_t i = 0; i < run; i++, p += LANES) {
			__m256i v = load(p);
			for (std::size_t k = 0; k < N; k++)
				counters[k] =
					_mm256_sub_epi8(counters[k], _mm256_cmpeq_epi8(v, want[k]));
		}
		for (std::size_t k = 0; k < N; k++)
			counts[k] += fold(counters[k]);
		vectors -= run;
	}
	return p;
}

template <std::size_t N>
SITKO_AVX2 void tallyfixed(bytes block, const tallyset &set, long long *counts)
{
	const unsigned char *end = tallyvectors<N>(block.data(), block.size() / LANES, set, counts);
	scalar::tally(bytes(end, block.data() + block.size()), set, counts);
}

SITKO_AVX2 std::uint32_t mask(__m256i matches)
{
	return static_cast<std::uint32_t>(_mm256_movemask_epi8(matches));
}

// A table of 16 bytes in both lanes, for byte lookups by nibble.
SITKO_AVX2 __m256i table(const std::array<unsigned char, 16> &t)
{
	return _mm256_broadcastsi128_si256(
		_mm_loadu_si128(reinterpret_cast<const __m128i *>(t.data())));
}

// The two nibbles of each of 32 bytes.
struct nibbles {
	__m256i lo, hi;
};

SITKO_AVX2 nibbles split(__m256i v)
{
	const __m256i low = splat(0x0f);
	return {_mm256_and_si256(v, low), _mm256_and_si256(_mm256_srli_epi16(v, 4), low)};
}

// lo[low nibble] & hi[high nibble] for each byte: the sets, of up to eight,
// that each byte belongs to.
SITKO_AVX2 __m256i lookup(nibbles v, __m256i lo, __m256i hi)
{
	return _mm256_and_si256(_mm256_shuffle_epi8(lo, v.lo), _mm256_shuffle_epi8(hi, v.hi));
}

// The bytes that belong to some set.
SITKO_AVX2 std::uint32_t anyset(__m256i sets)
{
	return ~mask(_mm256_cmpeq_epi8(sets, _mm256_setzero_si256()));
}

} // namespace

// Unrolled for the two sizes the programs use; others take the general path.
SITKO_AVX2 void tally(bytes block, const tallyset &set, long long *counts)
{
	switch (set.n) {
	case 1:
		tallyfixed<1>(block, set, counts);
		break;
	case 13:
		tallyfixed<13>(block, set, counts);
		break;
	default:
		scalar::tally(block, set, counts);
		break;
	}
}

// A word begins at every byte that is no separator and follows one; with the
// separators of 64 bytes as a bit mask, that is ~sep & (sep << 1 | carry).
SITKO_AVX2 void countwords(bytes block, wordcounts &wc)
{
	const __m256i blank = splat(' '), newline = splat('\n'), tab = splat('\t');
	const unsigned char *p = block.data();
	std::size_t n = block.size();
	std::uint64_t carry = wc.inword ? 0 : 1;

	for (; n >= 2 * LANES; n -= 2 * LANES, p += 2 * LANES) {
		__m256i lo = load(p), hi = load(p + LANES);
		__m256i nllo = _mm256_cmpeq_epi8(lo, newline),
			nlhi = _mm256_cmpeq_epi8(hi, newline);
		__m256i seplo = _mm256_or_si256(nllo, _mm256_or_si256(_mm256_cmpeq_epi8(lo, blank),
								      _mm256_cmpeq_epi8(lo, tab)));
		__m256i sephi = _mm256_or_si256(nlhi, _mm256_or_si256(_mm256_cmpeq_epi8(hi, blank),
								      _mm256_cmpeq_epi8(hi, tab)));
		std::uint64_t sep = mask(seplo) | std::uint64_t{mask(sephi)} << 32;
		std::uint64_t nl = mask(nllo) | std::uint64_t{mask(nlhi)} << 32;
		std::uint64_t starts = ~sep & (sep << 1 | carry);
		wc.words += __builtin_popcountll(starts);
		wc.lines += __builtin_popcountll(nl);
		carry = sep >> 63;
	}
	wc.inword = carry == 0;
	scalar::countwords(bytes(p, n), wc);
}

// Offsets come from the set bits of a 64-byte compare mask, lowest first.
// The first four are stored whether or not they exist and the count then
// advanced by the true number: a loop over the bits would mispredict its exit
// on nearly every mask.  Those stores stay inside at: the offsets found so
// far number at most i, and i + 64 <= block.size().
SITKO_AVX2 std::size_t findall(bytes block, unsigned char c, std::uint32_t *at)
{
	const __m256i want = splat(c);
	const unsigned char *p = block.data();
	std::size_t i = 0, n = 0;

	for (; i + 2 * LANES <= block.size(); i += 2 * LANES) {
		std::uint64_t found =
			mask(_mm256_cmpeq_epi8(load(p + i), want)) |
			std::uint64_t{mask(_mm256_cmpeq_epi8(load(p + i + LANES), want))} << 32;
		auto count = static_cast<std::size_t>(__builtin_popcountll(found));
		auto base = static_cast<std::uint32_t>(i);
		for (std::size_t k = 0; k < 4; k++) {
			at[n + k] = base +
				    static_cast<std::uint32_t>(__builtin_ctzll(found | 1ull << 63));
			found &= found - 1;
		}
		for (std::size_t k = 4; k < count; k++) {
			at[n + k] = base + static_cast<std::uint32_t>(__builtin_ctzll(found));
			found &= found - 1;
		}
		n += count;
	}
	std::size_t rest = scalar::findall(bytes(p + i, block.size() - i), c, at + n);
	for (std::size_t k = n; k < n + rest; k++)
		at[k] += static_cast<std::uint32_t>(i);
	return n + rest;
}

// A place is a candidate when its first and fourth bytes match those of some
// prefix; only candidates are compared in full.
namespace {

// Places are told apart by table lookups of the first, second and fourth
// byte, whatever the number of prefixes, and only the few that pass are
// compared.
SITKO_AVX2 std::size_t findgrouped(bytes block, const prefixset &set)
{
	const __m256i firstlo = table(set.firstlo), firsthi = table(set.firsthi);
	const __m256i secondlo = table(set.secondlo), secondhi = table(set.secondhi);
	const __m256i fourthlo = table(set.fourthlo), fourthhi = table(set.fourthhi);
	// The prefixes as 32-bit words, two vectors of them: a place is
	// compared with all at once.
	static_assert(PREFIX_CAPACITY == 2 * 8);
	const __m256i prefixes0 =
		_mm256_loadu_si256(reinterpret_cast<const __m256i *>(set.words.data()));
	const __m256i prefixes1 =
		_mm256_loadu_si256(reinterpret_cast<const __m256i *>(set.words.data() + 8));
	const unsigned char *p = block.data();
	std::size_t i = 0;

	for (; i + LANES + 3 <= block.size(); i += LANES) {
		__m256i groups = _mm256_and_si256(
			_mm256_and_si256(lookup(split(load(p + i)), firstlo, firsthi),
					 lookup(split(load(p + i + 1)), secondlo, secondhi)),
			lookup(split(load(p + i + 3)), fourthlo, fourthhi));
		std::uint32_t m = anyset(groups);
		for (; m != 0; m &= m - 1) {
			std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(m));
			std::uint32_t here;
			memcpy(&here, p + at, 4);
			__m256i v = _mm256_set1_epi32(static_cast<int>(here));
			if (!_mm256_testz_si256(_mm256_or_si256(_mm256_cmpeq_epi32(v, prefixes0),
								_mm256_cmpeq_epi32(v, prefixes1)),
						_mm256_set1_epi8(-1)))
				return at;
		}
	}
	return i + scalar::findprefix(bytes(p + i, block.size() - i), set);
}

} // namespace

SITKO_AVX2 std::size_t findprefix(bytes block, const prefixset &set)
{
	if (set.groups > 0 && set.groups <= set.initial.size())
		return findgrouped(block, set);
	const unsigned char *p = block.data();
	std::size_t i = 0;

	for (; i + LANES + 3 <= block.size(); i += LANES) {
		__m256i first = load(p + i), fourth = load(p + i + 3);
		__m256i hits = _mm256_setzero_si256();
		for (std::size_t k = 0; k < set.n; k++)
			hits = _mm256_or_si256(
				hits, _mm256_and_si256(
					      _mm256_cmpeq_epi8(first, splat(set.prefix[k][0])),
					      _mm256_cmpeq_epi8(fourth, splat(set.prefix[k][3]))));
		for (std::uint32_t m = mask(hits); m != 0; m &= m - 1) {
			std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(m));
			for (std::size_t k = 0; k < set.n; k++)
				if (memcmp(p + at, set.prefix[k].data(), 4) == 0)
					return at;
		}
	}
	return i + scalar::findprefix(bytes(p + i, block.size() - i), set);
}

SITKO_AVX2 void classify(bytes block, const wordclasses &classes, std::uint64_t *first,
			 std::uint64_t *rest)
{
	const __m256i firstlo = table(classes.first.lo), firsthi = table(classes.first.hi);
	const __m256i restlo = table(classes.rest.lo), resthi = table(classes.rest.hi);
	const unsigned char *p = block.data();
	std::size_t i = 0, w = 0;

	for (; i + 2 * LANES <= block.size(); i += 2 * LANES, w++) {
		nibbles a = split(load(p + i)), b = split(load(p + i + LANES));
		first[w] = anyset(lookup(a, firstlo, firsthi)) |
			   std::uint64_t{anyset(lookup(b, firstlo, firsthi))} << 32;
		rest[w] = anyset(lookup(a, restlo, resthi)) |
			  std::uint64_t{anyset(lookup(b, restlo, resthi))} << 32;
	}
	scalar::classify(bytes(p + i, block.size() - i), classes, first + w, rest + w);
}

} // namespace sitko::avx2

#endif
