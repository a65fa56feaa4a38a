// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "harness.hpp"

using sitko::test::run;

namespace {

struct filtercase {
	const char *label;
	std::string input;
	std::string expected;
	int status = 0;
};

std::string repeat(char c, std::size_t n)
{
	return std::string(n, c);
}

std::string numbered(int count)
{
	std::string text;
	for (int i = count; i > 0; i--)
		text += "line " + std::to_string(i) + "\n";
	return text;
}

void check(const char *program, const filtercase &c)
{
	SCOPED_TRACE(c.label);
	auto r = run(program, c.input);
	EXPECT_EQ(r.out, c.expected);
	EXPECT_EQ(r.status, c.status);
	EXPECT_EQ(r.err, "");
}

} // namespace

TEST(longline, table)
{
	const std::string piece = repeat('x', 999);
	const filtercase cases[] = {
		{"empty input", "", ""},
		{"first of equal lengths wins", "ab\ncd\n", "ab\n"},
		{"longer later line", "a\nbbb\ncc\n", "bbb\n"},
		{"last line without newline", "ab\nlonger", "longer"},
		{"lone newline is a line", "\n", "\n"},
		{"999 bytes and newline split", piece + "\n", piece},
		{"1500 bytes come in pieces", repeat('y', 999) + repeat('z', 501) + "\n",
		 repeat('y', 999)},
		{"998 bytes keep the newline", repeat('w', 998) + "\n", repeat('w', 998) + "\n"},
		{"NUL inside a line is written", std::string("a\0b\n", 4) + "cc\n",
		 std::string("a\0b\n", 4)},
		{"bytes from 0x80 up pass unchanged", "\xc5\xbc\xff\n", "\xc5\xbc\xff\n"},
		{"carriage return counts", "ab\r\nabc\n", "ab\r\n"},
	};
	for (const auto &c : cases)
		check("longline", c);
}

// The longest line as the byte-at-a-time reader would find it: lines come in
// pieces of at most 999 bytes, and the first of the longest wins.
std::string longest(const std::string &text)
{
	std::string best, piece;
	for (std::size_t i = 0; i <= text.size(); i++) {
		bool end = i == text.size();
		if (!end)
			piece += text[i];
		if (end || text[i] == '\n' || piece.size() == 999) {
			if (piece.size() > best.size())
				best = piece;
			piece.clear();
		}
	}
	return best;
}

TEST(longline, lines_across_buffer_refills)
{
	std::mt19937 rng(4);
	for (std::size_t size : {300000u, 40000u}) {
		std::string text;
		while (text.size() < size) {
			std::size_t n = rng() % 64 == 0 ? rng() % 998 : rng() % 120;
			text += std::string(n, static_cast<char>('a' + rng() % 26));
			text += '\n';
		}
		text += "tail without newline";
		auto from =
			size > 100000 ? sitko::test::source::file : sitko::test::source::trickle;
		auto r = run("longline", text, from);
		EXPECT_EQ(r.out, longest(text));
		EXPECT_EQ(r.status, 0);
	}
}

TEST(lineorder, table)
{
	const std::string piece = repeat('x', 999);
	const filtercase cases[] = {
		{"empty input", "", ""},
		{"upper case sorts first", "b\na\nB\n", "B\na\nb\n"},
		{"empty line sorts first", "b\n\na\n", "\na\nb\n"},
		{"duplicates stay together", "b\na\nb\na\n", "a\na\nb\nb\n"},
		{"prefix sorts first", "abc\nab\n", "ab\nabc\n"},
		{"last line keeps its last byte", "zeta\nalpha", "alpha\nzeta\n"},
		{"bytes compare unsigned", "\xc5\xbc\nz\n", "z\n\xc5\xbc\n"},
		{"over-long line in pieces", piece + "ab\n", "ab\n" + piece + "\n"},
		{"NUL ends a line's text", std::string("b\0zz\na\n", 7), "a\nb\n"},
	};
	for (const auto &c : cases)
		check("lineorder", c);
}

TEST(lineorder, line_limit)
{
	std::vector<std::string> lines;
	for (int i = 1; i <= 5000; i++)
		lines.push_back("line " + std::to_string(i) + "\n");
	std::sort(lines.begin(), lines.end());
	std::string sorted;
	for (const auto &line : lines)
		sorted += line;
	auto r = run("lineorder", numbered(5000));
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(r.out, sorted);

	r = run("lineorder", numbered(5001));
	EXPECT_EQ(r.status, 1);
	EXPECT_EQ(r.out, "Błąd: za dużo wierszy do sortowania\n");
	EXPECT_EQ(r.err, "");
}

TEST(lineorder, full_lines_never_exhaust_storage)
{
	std::string text;
	for (int i = 0; i < 5000; i++)
		text += std::string(998, static_cast<char>('a' + i % 26)) + "\n";
	auto r = run("lineorder", text);
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(r.out.size(), text.size());
}
