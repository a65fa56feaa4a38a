// SPDX-License-Identifier: MIT
// Runs a built program on given input bytes and collects what it wrote.
#ifndef SITKO_TEST_HARNESS_HPP
#define SITKO_TEST_HARNESS_HPP

#include <string>
#include <string_view>
#include <vector>

namespace sitko::test {

// The eleven programs, and whether each reads its input.
struct subject {
	const char *name;
	bool readsinput;
};

inline constexpr subject subjects[] = {
	{"longline", true},  {"lineorder", true},    {"reservedwords", true}, {"wordtree", true},
	{"census", true},    {"census-cases", true}, {"charcount", true},     {"linecount", true},
	{"wordcount", true}, {"thermotable", false}, {"eofvalue", false},
};

// Something every program has a report for, keywords included.
inline const std::string sampleinput = "while (x) break;\n\tzażółć 42 gęślą\r\nb a\n";

enum class source {
	file,         // a regular file holding the input
	ignoredchild, // the same, and SIGCHLD left ignored, as some parents leave it
	trickle,      // a pipe written one byte per write
	closed,       // no standard input at all
	directory,    // a directory, so every read fails
	nonblocking,  // a pipe left O_NONBLOCK, written one byte at a time, slowly
};

enum class sink {
	pipe,        // collected into outcome::out
	full,        // /dev/full, so every write fails
	closed,      // no standard output at all
	broken,      // a pipe whose reader has already gone
	readonly,    // a descriptor open for reading only, so every write fails
	slow,        // a pipe read slowly into outcome::out, so writes block
	nonblocking, // the same pipe left O_NONBLOCK, so writes find it full
};

struct outcome {
	std::string out;
	std::string err;
	int status = -1; // exit status, or -1 when killed
	int signal = 0;  // the signal that ended it, or 0
};

// A memory file holding input, its offset at the start.
int inputfile(std::string_view input);

// A name is a program of the suite; a path (with a slash) is taken as it is.
std::string program(std::string_view name);
// The program's path as a shell would start it, behind the emulator if any.
std::string commandline(std::string_view name);
// What a program is run in: commands it is started behind (a tracer,
// fakeroot), and settings added to its environment.
struct setting {
	std::vector<std::string> command;
	std::vector<std::string> env;
};

outcome run(std::string_view name, std::string_view input, source from = source::file,
	    sink to = sink::pipe, const setting &within = {});

struct shellrun {
	std::string out;
	int status; // exit status, or -1 when killed
};

// Runs a shell command with $P standing for the program and $F for a file.
shellrun shell(std::string_view name, const std::string &file, const std::string &command);

} // namespace sitko::test

#endif
