// SPDX-License-Identifier: MIT
// The AVX2 kernels against their scalar twins, on the input split in two.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "scan.hpp"

using namespace sitko;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
#if defined(__x86_64__)
	if (!avx2::usable() || size == 0)
		return 0;
	std::size_t cut = data[0] % (size + 1);
	bytes all(data, size), first(data, cut), second(data + cut, size - cut);

	wordcounts want = {0, 0, false}, got = {0, 0, false};
	scalar::countwords(all, want);
	avx2::countwords(first, got);
	avx2::countwords(second, got);
	if (want.lines != got.lines || want.words != got.words || want.inword != got.inword)
		abort();

	const tallyset set = {{'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', ' ', '\n', '\t'},
			      13};
	long long a[TALLY_CAPACITY] = {}, b[TALLY_CAPACITY] = {};
	scalar::tally(all, set, a);
	avx2::tally(all, set, b);
	for (std::size_t k = 0; k < set.n; k++)
		if (a[k] != b[k])
			abort();

	std::vector<std::uint32_t> x(size), y(size);
	std::size_t nx = scalar::findall(all, data[0], x.data());
	std::size_t ny = avx2::findall(all, data[0], y.data());
	if (nx != ny)
		abort();
	for (std::size_t k = 0; k < nx; k++)
		if (x[k] != y[k])
			abort();

	prefixset keys = {};
	for (const char *k : {"auto", "whil", "case", "\xff\xfe\n ", "0101"})
		addprefix(keys, k);
	if (scalar::findprefix(all, keys) != avx2::findprefix(all, keys))
		abort();

	auto classof = [](bool (*in)(unsigned char)) {
		std::array<bool, 256> m{};
		for (std::size_t c = 0; c < 256; c++)
			m[c] = in(static_cast<unsigned char>(c));
		return makeclass(m);
	};
	const wordclasses classes = {
		classof([](unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }),
		classof([](unsigned char c) {
			return ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || (c >= '0' && c <= '9') ||
			       c >= 0xf0;
		})};
	std::vector<std::uint64_t> m1(2 * (size / 64 + 1)), m2(m1.size());
	std::size_t words = (size + 63) / 64;
	scalar::classify(all, classes, m1.data(), m1.data() + words);
	avx2::classify(all, classes, m2.data(), m2.data() + words);
	if (m1 != m2)
		abort();
#else
	(void)data;
	(void)size;
#endif
	return 0;
}
