// SPDX-License-Identifier: MIT
// The character classes of the POSIX locale, as a table: the same answers as
// isspace, isalpha and isalnum give there, without a call per byte.  Bytes
// from 0x80 up and EOF belong to no class.
#ifndef SITKO_CLASSES_HPP
#define SITKO_CLASSES_HPP

#include <array>

#include "scan.hpp"

namespace sitko {

enum : unsigned char { SPACE = 1, ALPHA = 2, DIGIT = 4 };

inline constexpr std::array<unsigned char, 257> classes = [] {
	std::array<unsigned char, 257> t{}; // index 0 is EOF, then bytes 0 to 255
	for (int c = 'a'; c <= 'z'; c++)
		t[static_cast<std::size_t>(c + 1)] = ALPHA;
	for (int c = 'A'; c <= 'Z'; c++)
		t[static_cast<std::size_t>(c + 1)] = ALPHA;
	for (int c = '0'; c <= '9'; c++)
		t[static_cast<std::size_t>(c + 1)] = DIGIT;
	for (int c : {' ', '\t', '\n', '\v', '\f', '\r'})
		t[static_cast<std::size_t>(c + 1)] = SPACE;
	return t;
}();

// The bytes 0 to 255 that belong to any of the classes in mask, as a table
// for the block scanner.
constexpr std::array<bool, 256> bytesin(unsigned char mask)
{
	std::array<bool, 256> t{};
	for (std::size_t c = 0; c < 256; c++)
		t[c] = (classes[c + 1] & mask) != 0;
	return t;
}

// What getword() takes for a word: a letter, then letters and digits.
inline constexpr wordclasses letterwords = {makeclass(bytesin(ALPHA)),
					    makeclass(bytesin(ALPHA | DIGIT))};

// c is a byte value 0 to 255 or EOF.
inline bool isspacechar(int c)
{
	return classes[static_cast<std::size_t>(c + 1)] & SPACE;
}

inline bool isalphachar(int c)
{
	return classes[static_cast<std::size_t>(c + 1)] & ALPHA;
}

inline bool isalnumchar(int c)
{
	return classes[static_cast<std::size_t>(c + 1)] & (ALPHA | DIGIT);
}

} // namespace sitko

#endif
