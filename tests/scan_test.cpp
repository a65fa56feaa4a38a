// SPDX-License-Identifier: MIT
// The fast kernels against their scalar twins, on random blocks whose
// lengths straddle the vector widths and the counter folding interval, and
// split at random points to test the state carried between blocks.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "scan.hpp"

using namespace sitko;

namespace {

// Only x86-64 has fast kernels; elsewhere the programs call the scalar
// ones and there is nothing to compare.
#if defined(__x86_64__)
// Bytes drawn mostly from the ones the kernels look for.
std::vector<unsigned char> randomblock(std::mt19937 &rng, std::size_t n)
{
	static const unsigned char likely[] = {' ', '\n', '\t', '0',  '5',
					       '9', 'a',  '\r', 0x80, 0xff};
	std::vector<unsigned char> block(n);
	for (auto &c : block) {
		auto r = static_cast<unsigned>(rng());
		c = r % 4 == 0 ? static_cast<unsigned char>(r >> 8)
			       : likely[(r >> 8) % sizeof likely];
	}
	return block;
}

std::vector<std::size_t> lengths()
{
	std::vector<std::size_t> n;
	for (std::size_t i = 0; i <= 200; i++)
		n.push_back(i);
	for (std::size_t base : {255u * 32, 255u * 64, 131072u})
		for (std::size_t d = 0; d < 70; d += 7) {
			n.push_back(base - d);
			n.push_back(base + d);
		}
	return n;
}
#endif

const tallyset sets[] = {
	{{'\n'}, 1},
	{{'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', ' ', '\n', '\t'}, 13},
	{{'a', 0xff, 0x80}, 3},
};

} // namespace

TEST(scan, tally_matches_scalar)
{
#if defined(__x86_64__)
	if (!avx2::usable())
		GTEST_SKIP() << "no AVX2 here";
	std::mt19937 rng(1);
	for (std::size_t n : lengths()) {
		auto block = randomblock(rng, n + 1);
		bytes b(block.data() + 1, n); // misaligned on purpose
		for (const auto &set : sets) {
			long long want[TALLY_CAPACITY] = {}, got[TALLY_CAPACITY] = {};
			scalar::tally(b, set, want);
			avx2::tally(b, set, got);
			for (std::size_t k = 0; k < set.n; k++)
				ASSERT_EQ(got[k], want[k])
					<< "length " << n << " value " << +set.value[k];
		}
	}
#else
	GTEST_SKIP() << "scalar only on this architecture";
#endif
}

TEST(scan, countwords_matches_scalar_across_splits)
{
#if defined(__x86_64__)
	if (!avx2::usable())
		GTEST_SKIP() << "no AVX2 here";
	std::mt19937 rng(2);
	for (std::size_t n : lengths()) {
		auto block = randomblock(rng, n);
		std::size_t cut = n == 0 ? 0 : rng() % (n + 1);
		bytes first(block.data(), cut), second(block.data() + cut, n - cut);
		for (bool start : {false, true}) {
			wordcounts want = {0, 0, start}, got = {0, 0, start};
			scalar::countwords(bytes(block.data(), n), want);
			avx2::countwords(first, got);
			avx2::countwords(second, got);
			ASSERT_EQ(got.words, want.words) << "length " << n << " cut " << cut;
			ASSERT_EQ(got.lines, want.lines) << "length " << n;
			ASSERT_EQ(got.inword, want.inword) << "length " << n;
		}
	}
#else
	GTEST_SKIP() << "scalar only on this architecture";
#endif
}

TEST(scan, findall_matches_scalar)
{
#if defined(__x86_64__)
	if (!avx2::usable())
		GTEST_SKIP() << "no AVX2 here";
	std::mt19937 rng(3);
	for (std::size_t n : lengths()) {
		auto block = randomblock(rng, n + 1);
		std::vector<unsigned char> dense(n, '\n');
		for (const auto *b : {&block, &dense}) {
			bytes from(b->data() + (b == &block ? 1 : 0), n);
			std::vector<std::uint32_t> want(n + 1), got(n + 1);
			std::size_t wantn = scalar::findall(from, '\n', want.data());
			std::size_t gotn = avx2::findall(from, '\n', got.data());
			ASSERT_EQ(gotn, wantn) << "length " << n;
			want.resize(wantn);
			got.resize(gotn);
			ASSERT_EQ(got, want) << "length " << n;
		}
	}
#else
	GTEST_SKIP() << "scalar only on this architecture";
#endif
}

TEST(scan, findprefix_matches_scalar)
{
#if defined(__x86_64__)
	if (!avx2::usable())
		GTEST_SKIP() << "no AVX2 here";
	// Grouped by first byte for the table lookups; the same without the
	// tables; more first bytes than the tables hold; the programs' own.
	prefixset grouped = {}, wide = {}, keys = {};
	for (const char *p : {"whil", "case", "\xff\x80 \n", "0505", "cons", "\x7f\x0f\xf0 "})
		addprefix(grouped, p);
	prefixset plain = grouped;
	plain.groups = 0;
	for (const char *p :
	     {"aaaa", "bbbb", "cccc", "dddd", "eeee", "ffff", "gggg", "hhhh", "iiii"})
		addprefix(wide, p);
	for (const char *p : {"auto", "brea", "case", "char", "cons", "cont", "defa", "unsi",
			      "void", "vola", "whil"})
		addprefix(keys, p);
	std::mt19937 rng(6);
	for (const prefixset *set : {&grouped, &plain, &wide, &keys}) {
		for (std::size_t n : lengths()) {
			for (int round = 0; round < 4; round++) {
				auto block = randomblock(rng, n);
				if (n >= 4 && round > 0) // plant a prefix at a random place
					memcpy(block.data() + rng() % (n - 3),
					       set->prefix[rng() % set->n].data(), 4);
				bytes b(block.data(), n);
				ASSERT_EQ(avx2::findprefix(b, *set), scalar::findprefix(b, *set))
					<< "length " << n << ", " << set->n << " prefixes";
			}
		}
	}
#else
	GTEST_SKIP() << "scalar only on this architecture";
#endif
}

// Byte sets as the word scanner is given them: the nibble tables must say
// exactly what the set says, and the vector classifier what the scalar does.
TEST(scan, classify_matches_scalar)
{
	auto setof = [](auto pred) {
		std::array<bool, 256> m{};
		for (std::size_t c = 0; c < 256; c++)
			m[c] = pred(static_cast<unsigned char>(c));
		return m;
	};
	auto letter = [](unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; };
	auto digit = [](unsigned char c) { return c >= '0' && c <= '9'; };
	const std::array<bool, 256> bytesets[] = {
		setof(letter),
		setof([&](unsigned char c) { return letter(c) || digit(c); }),
		setof([](unsigned char c) { return c >= 0x80; }),
		setof([](unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }),
		setof([&](unsigned char c) { return digit(c) || c == '_' || c == 0xff; }),
		setof([](unsigned char) { return false; }),
	};
	for (const auto &member : bytesets) {
		byteclass c = makeclass(member);
		ASSERT_TRUE(c.nibbles);
		for (std::size_t b = 0; b < 256; b++)
			ASSERT_EQ((c.lo[b & 15] & c.hi[b >> 4]) != 0, member[b]) << "byte " << b;
	}
	// Fifteen different shapes of a row are more than the tables hold.
	EXPECT_FALSE(makeclass(setof([](unsigned char c) { return (c & 15) < (c >> 4); })).nibbles);
#if defined(__x86_64__)
	if (!avx2::usable())
		GTEST_SKIP() << "no AVX2 here";
	std::mt19937 rng(7);
	for (std::size_t k = 0; k + 1 < std::size(bytesets); k++) {
		wordclasses classes = {makeclass(bytesets[k]), makeclass(bytesets[k + 1])};
		for (std::size_t n : lengths()) {
			auto block = randomblock(rng, n);
			std::vector<std::uint64_t> a((n + 63) / 64 * 2 + 2, 1), b(a);
			std::size_t w = (n + 63) / 64;
			scalar::classify(bytes(block.data(), n), classes, a.data(), a.data() + w);
			avx2::classify(bytes(block.data(), n), classes, b.data(), b.data() + w);
			ASSERT_EQ(a, b) << "length " << n << ", sets " << k;
		}
	}
#endif
}

TEST(scan, scalar_reference)
{
	const unsigned char text[] = "  a\tb  \n\nc";
	wordcounts wc = {0, 0, false};
	scalar::countwords(bytes(text, sizeof text - 1), wc);
	EXPECT_EQ(wc.lines, 2);
	EXPECT_EQ(wc.words, 3);
	EXPECT_TRUE(wc.inword);
	long long counts[TALLY_CAPACITY] = {};
	scalar::tally(bytes(text, sizeof text - 1), sets[1], counts);
	EXPECT_EQ(counts[10], 4); // blanks
	EXPECT_EQ(counts[11], 2); // newlines
	EXPECT_EQ(counts[12], 1); // tab
}
