#include "getword.hpp"

#include <cctype>

#include "getch.hpp"

namespace sitko {

// Every value here comes from getch(): 0 to 255 or EOF, all of which the
// classification functions accept.  No program changes the locale, so the
// classes are the POSIX ones and bytes from 0x80 up are in none of them.
int getword(char *word, int lim)
{
	int c;

	while (isspace(c = getch()))
		;
	int n = 0;
	if (c != EOF)
		word[n++] = static_cast<char>(c);
	if (!isalpha(c)) {
		word[n] = '\0';
		return c;
	}
	while (n < lim - 1) {
		c = getch();
		// The character that ends the word goes back exactly as it came,
		// so a byte from 0x80 up is not mistaken for end of input.
		if (!isalnum(c)) {
			ungetch(c);
			break;
		}
		word[n++] = static_cast<char>(c);
	}
	word[n] = '\0';
	return static_cast<unsigned char>(word[0]);
}

} // namespace sitko
