// Runs one program in-process on each fuzzer input.  The program's sources
// are compiled into this file, main renamed, so that what the program keeps
// between calls can be reset here before every run, as a fresh process
// would have it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "input.hpp"

#define main program_main

#if defined(SITKO_PROGRAM_longline)
#include "../line-filters/longline.cpp"
static void reset()
{
	indexed = expected = nullptr;
	nnewlines = nextnewline = 0;
}
#elif defined(SITKO_PROGRAM_lineorder)
#include "../line-filters/alloc.cpp"
#include "../line-filters/lineorder.cpp"
#include "../line-filters/mygetline.cpp"
static void reset()
{
	sitko::allocused = 0;
}
#elif defined(SITKO_PROGRAM_reservedwords)
#include "../word-tools/getword.cpp"
#include "../word-tools/quiet.cpp"
#include "../word-tools/reservedwords.cpp"
static void reset()
{
	sitko::pushedback = sitko::NOTHING_PUSHED;
	for (auto &k : sitko::keytab)
		k.count = 0;
}
#elif defined(SITKO_PROGRAM_wordtree)
#include "../word-tools/getword.cpp"
#include "../word-tools/tree.cpp"
#include "../word-tools/wordtree.cpp"
static void reset()
{
	sitko::pushedback = sitko::NOTHING_PUSHED;
	while (sitko::storelist != nullptr) {
		auto *next = sitko::storelist->next;
		free(sitko::storelist);
		sitko::storelist = next;
	}
	sitko::storepos = nullptr;
	sitko::storeleft = 0;
	free(sitko::slots);
	sitko::slots = nullptr;
	sitko::slotcount = sitko::used = 0;
}
#elif defined(SITKO_PROGRAM_census)
#include "../console/census.cpp"
#elif defined(SITKO_PROGRAM_census_cases)
#include "../console/census-cases.cpp"
#elif defined(SITKO_PROGRAM_charcount)
#include "../console/charcount.cpp"
#elif defined(SITKO_PROGRAM_linecount)
#include "../console/linecount.cpp"
#elif defined(SITKO_PROGRAM_wordcount)
#include "../console/wordcount.cpp"
#elif defined(SITKO_PROGRAM_thermotable)
#include "../console/thermotable.cpp"
#elif defined(SITKO_PROGRAM_eofvalue)
#include "../console/eofvalue.cpp"
#endif

#undef main

#if !defined(SITKO_PROGRAM_longline) && !defined(SITKO_PROGRAM_lineorder) && \
	!defined(SITKO_PROGRAM_reservedwords) && !defined(SITKO_PROGRAM_wordtree)
static void reset()
{
}
#endif

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
	// The reports would drown the fuzzer's own output.
	if (freopen("/dev/null", "w", stdout) == nullptr)
		abort();
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	reset();
	sitko::setinput(data, size);
	int status = program_main();
	if (status != 0 && status != 1)
		abort();
	return 0;
}
