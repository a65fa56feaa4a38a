// SPDX-License-Identifier: MIT
// Writes a deterministic benchmark corpus to standard output.
// usage: corpus text|separators|random|lines|vocab SIZE-IN-BYTES
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::uint64_t state = 0x9e3779b97f4a7c15u;

std::uint64_t next()
{
	state ^= state << 13;
	state ^= state >> 7;
	state ^= state << 17;
	return state;
}

std::size_t below(std::size_t n)
{
	return static_cast<std::size_t>(next() % n);
}

const char *const common[] = {
	"i",       "w",        "na",    "nie",       "się",      "z",         "do",
	"że",      "to",       "jest",  "a",         "o",        "jak",       "ale",
	"po",      "co",       "tak",   "za",        "od",       "już",       "przy",
	"tylko",   "jej",      "dla",   "słowo",     "wiersz",   "bajt",      "liczba",
	"zażółć",  "gęślą",    "jaźń",  "środa",     "grudzień", "pętla",     "komputer",
	"program", "dziadek",  "śnieg", "wieczorem", "pracowni", "terminalu", "policzony",
	"żaden",   "zgubiony", "Zofia", "Kraków",
};
const char *const code[] = {
	"while (x) break;",
	"for (i = 0; i < n; i++)",
	"const char *p;",
	"return 0;",
	"unsigned int count;",
	"case 'a':",
	"default:",
	"void *q = 0;",
	"if (c == EOF)",
	"char buf[1000];",
	"continue;",
	"volatile int v;",
	"auto k = 42;",
};
// Most syllables are plain ASCII, so that, as in Polish prose, about one byte
// in twelve is part of a two-byte letter.
const char *const syllables[] = {
	"ka", "ro", "mi", "sze", "ne", "ta", "lo", "przy", "ga", "pu",
	"we", "no", "da", "si",  "ko", "ma", "re", "ti",   "bu", "le",
};
const char *const polish[] = {"dło", "wą", "ży", "ść", "ró", "bę"};

template <std::size_t N>
const char *pick(const char *const (&list)[N])
{
	return list[below(N)];
}

// About half the words repeat often; the rest come from a vocabulary of a
// million made-up words, drawn so that a word's frequency falls with its rank
// (log-uniform ranks, close to the Zipf law of real texts).
void word(std::string &out)
{
	if (below(2) == 0) {
		out += pick(common);
		return;
	}
	double u = static_cast<double>(next() >> 11) / 9007199254740992.0;
	auto rank = static_cast<std::size_t>(std::exp(u * std::log(1e6)));
	do {
		std::size_t syllable = rank % 26;
		out += syllable < 20 ? syllables[syllable] : polish[syllable - 20];
		rank /= 26;
	} while (rank > 0);
}

void textline(std::string &out)
{
	if (below(8) == 0)
		out += '\t';
	if (below(6) == 0) {
		out += pick(code);
		out += '\n';
		return;
	}
	std::size_t words = 4 + below(12);
	for (std::size_t i = 0; i < words; i++) {
		if (i > 0)
			out += ' ';
		if (below(16) == 0)
			out += std::to_string(below(1000));
		else
			word(out);
		if (below(10) == 0)
			out += ",";
	}
	out += ".\n";
}

// The vocab corpus: words of a vocabulary of 2^26, drawn by Zipf's law with
// exponent 1, so that 256 MiB holds millions of distinct words, as a large
// body of identifiers or web text does.
constexpr std::uint64_t VOCAB = 1u << 26;
// Multiplies a rank modulo a power of 26: coprime with 26, so no two ranks
// below the modulus meet.
constexpr std::uint64_t SPREAD = 0x2545f491u;
static_assert(SPREAD % 2 != 0 && SPREAD % 13 != 0);

std::uint64_t mix(std::uint64_t x)
{
	x += 0x9e3779b97f4a7c15u;
	x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9u;
	x = (x ^ (x >> 27)) * 0x94d049bb133111ebu;
	return x ^ (x >> 31);
}

// Word lengths, one entry per 32nd of the words.
constexpr unsigned char lengths[32] = {2, 2, 3, 3, 3, 4, 4, 4, 4, 5, 5,  5,  5,  6,  6,  6,
				       6, 7, 7, 7, 7, 8, 8, 8, 9, 9, 10, 10, 11, 12, 13, 14};
// First letters of the longer words, about as often as they begin English ones.
constexpr char initials[] = "ssssccccppptttaaabbddffmmmrrehilnnowggu";
constexpr char gaps[][4] = {
	" ",  " ",  " ",   " ",  " ",  " ",  " ",  " ",  " ",  " ",  " ",  " ",   " ",
	" ",  " ",  " ",   " ",  " ",  " ",  " ",  " ",  " ",  " ",  " ",  " ",   " ",
	" ",  " ",  " ",   " ",  " ",  " ",  " ",  " ",  " ",  " ",  " ",  " ",   " ",
	" ",  "\n", "\n",  "\n", "\n", "\n", ", ", ", ", ", ", ". ", ". ", ".\n", " (",
	") ", ": ", " - ", "/",  "_",  ".",  "\t", "  ", "; ", "=",  "\"", "'",
};
static_assert(sizeof gaps / sizeof gaps[0] == 64);

// Appends the word of rank r (0 the most frequent), the same at every draw.
// Its last letters, six at most, spell r; a hash of r gives its length
// (frequent words are short), the letters before those, its case and its
// digits.  No two ranks share a word, even with case and digits set aside.
void vocabword(std::uint64_t r, std::string &out)
{
	std::uint64_t h = mix(r);
	std::size_t shortest = 2;
	for (std::uint64_t fits = 26 * 26; r >= fits && shortest < 6; fits *= 26)
		shortest++;
	std::size_t longest = std::max<std::size_t>(
		shortest, 3 + static_cast<std::size_t>(std::bit_width(r + 1)) / 2);
	std::size_t length = std::clamp<std::size_t>(lengths[h & 31], shortest, longest);
	std::size_t spelt = std::min<std::size_t>(length, 6), free = length - spelt;
	std::uint64_t modulus = 1;
	for (std::size_t i = 0; i < spelt; i++)
		modulus *= 26;
	std::uint64_t v = (r * SPREAD + 12345) % modulus;
	char w[32];
	std::uint64_t bits = h >> 5;
	for (std::size_t i = 0; i < free; i++, bits = mix(bits))
		w[i] = i == 0 ? initials[bits % (sizeof initials - 1)]
			      : static_cast<char>('a' + bits % 26);
	for (std::size_t i = free; i < length; i++, v /= 26)
		w[i] = static_cast<char>('a' + v % 26);
	// The few hundred most frequent words are plain lower case; of the
	// rest one in sixteen is capitalised, one in eight carries one to three
	// digits, mostly at its end.
	bool plain = r < 256;
	bits = h >> 40;
	if (!plain && bits % 16 == 0) {
		w[0] = static_cast<char>(w[0] - 'a' + 'A');
	} else if (!plain && bits % 64 == 1 && length <= 5) {
		for (std::size_t i = 0; i < length; i++)
			w[i] = static_cast<char>(w[i] - 'a' + 'A');
	}
	bits >>= 6;
	std::size_t at = length, digits = 0;
	if (!plain && bits % 8 == 0) {
		digits = 1 + static_cast<std::size_t>((bits >> 3) % 3);
		if ((bits >> 5) % 4 == 0)
			at = 1 + static_cast<std::size_t>((bits >> 7) % (length - 1));
	}
	out.append(w, at);
	for (std::size_t i = 0; i < digits; i++)
		out += static_cast<char>('0' + (h >> (i * 4)) % 10);
	out.append(w + at, length - at);
}

// Appends a word drawn by rank and what follows it: a blank mostly, a
// newline, punctuation, now and then a number.
void vocabtoken(std::string &out)
{
	double u = static_cast<double>(next() >> 11) / 9007199254740992.0;
	auto rank =
		static_cast<std::uint64_t>(std::exp(u * std::log(static_cast<double>(VOCAB) + 1)));
	vocabword(std::min(rank, VOCAB) - 1, out);
	std::uint64_t s = next();
	out += gaps[s % 64];
	if ((s >> 6) % 64 == 0) {
		out += std::to_string((s >> 12) % 10000);
		out += ' ';
	}
}

} // namespace

int main(int argc, char **argv)
{
	if (argc != 3)
		return 2;
	const char *kind = argv[1];
	// 64 bits even where size_t has 32: a corpus may outgrow the address space.
	unsigned long long size = std::strtoull(argv[2], nullptr, 10);
	std::string out;
	unsigned long long written = 0;

	while (written < size) {
		out.clear();
		while (out.size() < 65536) {
			if (strcmp(kind, "text") == 0 || strcmp(kind, "lines") == 0) {
				textline(out);
			} else if (strcmp(kind, "separators") == 0) {
				out += " \t\n"[below(3)];
			} else if (strcmp(kind, "vocab") == 0) {
				vocabtoken(out);
			} else if (strcmp(kind, "random") == 0) {
				out += static_cast<char>(next() >> 56);
			} else {
				return 2;
			}
		}
		std::size_t n = out.size();
		if (n > size - written)
			n = static_cast<std::size_t>(size - written);
		if (fwrite(out.data(), 1, n, stdout) != n)
			return 1;
		written += n;
	}
	return fflush(stdout) == 0 ? 0 : 1;
}
