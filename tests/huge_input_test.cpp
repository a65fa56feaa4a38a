// SPDX-License-Identifier: MIT
// More than 2^32 bytes through the counters: 32-bit counts would have
// wrapped twice by the end.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "harness.hpp"

namespace {

constexpr long long SIZE = 5LL << 30;
constexpr long long LINE = 6; // "ab cd\n"

std::string count(const char *name)
{
	std::string command = "yes 'ab cd' | head -c " + std::to_string(SIZE) + " | " +
			      sitko::test::commandline(name);
	std::string out;
	FILE *p = popen(command.c_str(), "r");
	if (p == nullptr)
		return out;
	char chunk[256];
	size_t n;
	while ((n = fread(chunk, 1, sizeof chunk, p)) > 0)
		out.append(chunk, n);
	EXPECT_EQ(pclose(p), 0);
	return out;
}

} // namespace

TEST(huge_input, counters)
{
	if (std::getenv("SITKO_SLOW_TESTS") == nullptr)
		GTEST_SKIP()
			<< "5 GiB through three programs takes a minute: set SITKO_SLOW_TESTS=1 "
			   "(ctest --preset slow does)";
	// The input ends in the middle of a line, with "ab".
	const long long lines = SIZE / LINE;
	const long long words = 2 * lines + 1;
	EXPECT_EQ(count("charcount"), std::to_string(SIZE) + "\n");
	EXPECT_EQ(count("linecount"), std::to_string(lines) + "\n");
	EXPECT_EQ(count("wordcount"),
		  std::to_string(lines) + std::to_string(words) + std::to_string(SIZE) + "\n");
}
