// SPDX-License-Identifier: MIT
#include "numparse.hpp"

#include <cctype>

namespace sitko {

int atoi(const char *s)
{
	auto byte = [&s] { return static_cast<unsigned char>(*s); };

	while (isspace(byte()))
		s++;
	int sign = *s == '-' ? -1 : 1;
	if (*s == '+' || *s == '-')
		s++;
	// Unsigned arithmetic wraps where int arithmetic would overflow.
	unsigned n = 0;
	while (isdigit(byte())) {
		n = 10 * n + static_cast<unsigned>(*s - '0');
		s++;
	}
	return static_cast<int>(sign < 0 ? 0u - n : n);
}

} // namespace sitko
