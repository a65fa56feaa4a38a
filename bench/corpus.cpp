// SPDX-License-Identifier: MIT
// Writes a deterministic benchmark corpus to standard output.
// usage: corpus text|separators|random|lines SIZE-IN-BYTES
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
