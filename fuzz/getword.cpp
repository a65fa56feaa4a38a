// SPDX-License-Identifier: MIT
// getword over arbitrary input: every result is EOF or a byte value, words
// fit the limit, and the words and characters put back together give the
// input without its white space.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "classes.hpp"
#include "getch.hpp"
#include "getword.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	int lim = size > 0 ? 2 + data[0] % 99 : sitko::WORD_CAPACITY;
	static sitko::reader in;
	sitko::openmemory(in, data, size);
	sitko::getchfrom(in);

	std::string rebuilt, expected;
	for (std::size_t i = 0; i < size; i++)
		if (!sitko::isspacechar(data[i]))
			expected += static_cast<char>(data[i]);
	char word[sitko::WORD_CAPACITY];
	int c;
	while ((c = sitko::getword(word, lim)) != EOF) {
		if (c < 0 || c > 255)
			abort();
		std::size_t len = c == 0 ? 1 : strlen(word);
		if (len == 0 || len > static_cast<std::size_t>(lim - 1))
			abort();
		if (static_cast<unsigned char>(word[0]) != c)
			abort();
		rebuilt.append(word, len);
	}
	if (rebuilt != expected)
		abort();
	return 0;
}
