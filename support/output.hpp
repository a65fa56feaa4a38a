// SPDX-License-Identifier: MIT
// The one writer for every program's report.
//
// The report is gathered in one buffer and written with write(2), all of
// it: a short write goes on with the rest, an interrupted one is retried, and
// on a non-blocking descriptor that is full the writer waits with poll(2).
// Any other failure is remembered for the exit status, and the rest of the
// report is still written as far as it can be.
#ifndef SITKO_OUTPUT_HPP
#define SITKO_OUTPUT_HPP

#include <cstddef>

namespace sitko {

inline constexpr std::size_t OUTPUT_CAPACITY = 64 * 1024;

// As printf; one formatted piece is at most OUTPUT_CAPACITY - 1 bytes.
void print(const char *format, ...) __attribute__((format(printf, 1, 2)));
// As puts: s and a newline.
void putline(const char *s);
// As fwrite: n bytes, NULs included.
void putbytes(const void *p, std::size_t n);
// Writes what is buffered; false once some byte could not be written.
bool flushoutput();

} // namespace sitko

#endif
