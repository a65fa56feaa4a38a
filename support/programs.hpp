// SPDX-License-Identifier: MIT
// Every program's entry point: the program run on the input in, returning
// its own exit status.  Each program's main opens standard input, runs it
// and leaves through finish(); the fuzz targets run it in-process, on input
// from memory, once for every input they try.  An entry point starts from
// what a fresh process would have.
#ifndef SITKO_PROGRAMS_HPP
#define SITKO_PROGRAMS_HPP

#include <cstddef>

#include "input.hpp"

namespace sitko {

int longline(reader &in);
int lineorder(reader &in);
int reservedwords(reader &in);
int wordtree(reader &in);
// wordtree as it runs given the number of CPUs it may use.
int wordtree(reader &in, std::size_t cpus);
int census(reader &in);
int censuscases(reader &in);
int charcount(reader &in);
int linecount(reader &in);
int wordcount(reader &in);
int thermotable();
int eofvalue();

} // namespace sitko

#endif
