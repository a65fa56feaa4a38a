// SPDX-License-Identifier: MIT
// Confinement: what a program may ask of the system once main has begun.
//
// The programs read untrusted bytes.  Should a fault ever let those bytes
// take a program over, the system still lets it do only what its family of
// programs needs: read its standard input, write its standard output, manage
// its own memory and, for wordtree, its own threads.  It cannot open a file,
// start a process, reach a network or loosen the rule: those calls fail.
// The allowed calls, and why each is there, are the tables in confine.cpp.
#ifndef SITKO_CONFINE_HPP
#define SITKO_CONFINE_HPP

namespace sitko {

enum class family {
	writes,  // writes a report and reads nothing
	reads,   // reads standard input and writes a report
	threads, // the same, counting on threads that read parts of a file
};

// Forbids new privileges and installs the family's seccomp filter, before
// the first read.  Any call the family does not make then fails, and only a
// call through another architecture's table ends the process with SIGSYS
// (see confine.cpp).
// Where the system cannot confine the program (a kernel without seccomp, an
// emulator or valgrind that refuses it, an architecture without a table
// here, a build with SITKO_CONFINE off) nothing changes and nothing is said.
void confine(family f);

// Whether this build installs filters at all: SITKO_CONFINE on, for an
// architecture that has tables here.
bool confines();

} // namespace sitko

#endif
