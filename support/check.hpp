// SPDX-License-Identifier: MIT
// Invariants the code relies on, checked where SITKO_CHECKS is defined (the
// test, sanitizer and fuzz builds, which are optimised with NDEBUG, where
// assert() says nothing) and compiled out of a release.  A broken invariant
// traps at once, without a call the confinement could refuse.
#ifndef SITKO_CHECK_HPP
#define SITKO_CHECK_HPP

#if defined(SITKO_CHECKS)
#define SITKO_ASSERT(cond) ((cond) ? static_cast<void>(0) : __builtin_trap())
#else
#define SITKO_ASSERT(cond) static_cast<void>(sizeof(static_cast<bool>(cond)))
#endif

#endif
