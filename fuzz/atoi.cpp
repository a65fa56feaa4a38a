// SPDX-License-Identifier: MIT
// atoi against a slow model of the same rules, on any NUL-terminated text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "numparse.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	std::string text(reinterpret_cast<const char *>(data), size);
	const char *s = text.c_str();

	std::size_t i = 0;
	while (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))
		i++;
	bool negative = s[i] == '-';
	if (s[i] == '-' || s[i] == '+')
		i++;
	std::uint32_t value = 0;
	for (; s[i] >= '0' && s[i] <= '9'; i++)
		value = value * 10 + static_cast<std::uint32_t>(s[i] - '0');
	if (negative)
		value = 0 - value;
	if (sitko::atoi(s) != static_cast<std::int32_t>(value))
		abort();
	return 0;
}
