// SPDX-License-Identifier: MIT
// census-cases: the character census, classified by one switch.
//
// As in census, the bytes that are counted on their own are tallied a block
// at a time; the switch then sorts each tallied byte value into its class.

#include "confine.hpp"
#include "finish.hpp"
#include "output.hpp"
#include "programs.hpp"
#include "scan.hpp"

int sitko::censuscases(reader &in)
{
	constexpr sitko::tallyset named = {
		{'\t', '\n', ' ', '0', '1', '2', '3', '4', '5', '6', '7', '8', '9'}, 13};
	long long seen[13] = {};
	// Every byte counts as other until its tallied value is classified.
	long long nother = sitko::tallyinput(in, named, seen);
	long long nwhite = 0;
	long long ndigit[10] = {};
	for (std::size_t k = 0; k < named.n; k++) {
		int c = named.value[k];
		switch (c) {
		case '\t':
		case '\n':
		case ' ':
			nwhite += seen[k];
			nother -= seen[k];
			break;
		case '0':
		case '1':
		case '2':
		case '3':
		case '4':
		case '5':
		case '6':
		case '7':
		case '8':
		case '9':
			ndigit[c - '0'] += seen[k];
			nother -= seen[k];
			break;
		default:
			break;
		}
	}
	sitko::print("cyfry= ");
	for (long long n : ndigit)
		sitko::print("%lld", n);
	sitko::print(", białe znaki= %lld, inne= %lld\n", nwhite, nother);
	return 0;
}

#if !defined(SITKO_NO_MAIN)
int main()
{
	sitko::reader &in = sitko::standardinput();
	sitko::confine(sitko::family::reads);
	return sitko::finish(sitko::censuscases(in), in);
}
#endif
