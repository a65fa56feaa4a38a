// SPDX-License-Identifier: MIT
#include "getword.hpp"

#include "classes.hpp"
#include "getch.hpp"

namespace sitko {

// Every value here comes from getch(): 0 to 255 or EOF.  The classes are
// those of the POSIX locale, so bytes from 0x80 up are in none of them.
int getword(char *word, int lim)
{
	int c;

	while (isspacechar(c = getch()))
		;
	int n = 0;
	if (c != EOF)
		word[n++] = static_cast<char>(c);
	if (!isalphachar(c)) {
		word[n] = '\0';
		return c;
	}
	while (n < lim - 1) {
		if (!pushedback()) {
			// The rest of the word is taken straight from the input
			// buffer.  The byte that ends it stays there, which is the
			// same as reading it and handing it back.
			reader &in = getchsource();
			auto buffered = peekblock(in);
			std::size_t room = static_cast<std::size_t>(lim - 1 - n);
			std::size_t most = buffered.size() < room ? buffered.size() : room;
			std::size_t k = 0;
			for (; k < most && isalnumchar(buffered[k]); k++)
				word[n + static_cast<int>(k)] = static_cast<char>(buffered[k]);
			skipinput(in, k);
			n += static_cast<int>(k);
			if (k < buffered.size())
				break;
			if (buffered.empty()) {
				ungetch(EOF);
				break;
			}
			continue;
		}
		c = getch();
		// The character that ends the word goes back exactly as it came,
		// so a byte from 0x80 up is not mistaken for end of input.
		if (!isalnumchar(c)) {
			ungetch(c);
			break;
		}
		word[n++] = static_cast<char>(c);
	}
	word[n] = '\0';
	return static_cast<unsigned char>(word[0]);
}

} // namespace sitko
