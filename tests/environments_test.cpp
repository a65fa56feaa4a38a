// SPDX-License-Identifier: MIT
// The environments users run the programs in: behind fakeroot, a tracer or
// valgrind, with another allocator preloaded, with the loader's trace or
// glibc's tunables.  Each program gives the report and the status of its
// plain run, confined as it is, whatever the libraries loaded into it do on
// the side; under a preloaded allocator a program taken over still finds a
// file and a socket refused.  Each environment whose tool is missing is
// skipped, with the Debian package that brings it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "harness.hpp"

using sitko::test::subjects;

namespace {

struct environment {
	const char *name;
	const char *tool;    // a program the environment needs, or nullptr
	const char *library; // a library it preloads (names it may have, by |), or nullptr
	const char *package; // the Debian package of either
	std::vector<std::string> command;
	std::vector<std::string> env;
	bool large; // slow enough on a large input to leave it out
};

const std::vector<environment> environments = {
	{"fakeroot", "fakeroot", nullptr, "fakeroot", {"fakeroot"}, {}, false},
	{"jemalloc", nullptr, "libjemalloc.so.2", "libjemalloc2", {}, {}, false},
	{"mimalloc",
	 nullptr,
	 "libmimalloc.so.3|libmimalloc.so.2",
	 "libmimalloc3 or libmimalloc2.0",
	 {},
	 {},
	 false},
	{"tcmalloc", nullptr, "libtcmalloc_minimal.so.4", "libtcmalloc-minimal4", {}, {}, false},
	{"strace",
	 "strace",
	 nullptr,
	 "strace",
	 {"strace", "-f", "-qq", "-o", "/dev/null"},
	 {},
	 false},
	{"ltrace", "ltrace", nullptr, "ltrace", {"ltrace", "-f", "-o", "/dev/null"}, {}, true},
	{"valgrind", "valgrind", nullptr, "valgrind", {"valgrind", "-q"}, {}, true},
	{"loader_trace", nullptr, nullptr, nullptr, {}, {"LD_DEBUG=all"}, false},
	{"malloc_tunables",
	 nullptr,
	 nullptr,
	 nullptr,
	 {},
	 {"GLIBC_TUNABLES=glibc.malloc.arena_max=1:glibc.malloc.mmap_threshold=0:"
	  "glibc.malloc.tcache_count=0:glibc.malloc.perturb=165:glibc.malloc.hugetlb=1"},
	 false},
	{"thread_tunables",
	 nullptr,
	 nullptr,
	 nullptr,
	 {},
	 {"GLIBC_TUNABLES=glibc.pthread.rseq=0:glibc.pthread.stack_cache_size=0:"
	  "glibc.malloc.arena_test=1:glibc.malloc.trim_threshold=0"},
	 false},
};

bool onpath(const std::string &tool)
{
	const char *path = std::getenv("PATH");
	std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
	for (std::size_t from = 0; from <= dirs.size();) {
		std::size_t to = dirs.find(':', from);
		if (to == std::string::npos)
			to = dirs.size();
		if (access((dirs.substr(from, to - from) + "/" + tool).c_str(), X_OK) == 0)
			return true;
		from = to + 1;
	}
	return false;
}

// The library's path in the target's library folders, under the first of
// its names found, or "".
std::string findlibrary(const std::string &names)
{
	for (std::size_t from = 0; from < names.size();) {
		std::size_t to = std::min(names.find('|', from), names.size());
		std::string name = names.substr(from, to - from);
		for (const char *dir :
		     {"/usr/lib/" SITKO_LIBRARY_ARCHITECTURE "/",
		      "/lib/" SITKO_LIBRARY_ARCHITECTURE "/", "/usr/lib/", "/lib/"}) {
			struct stat st;
			if (stat((dir + name).c_str(), &st) == 0)
				return dir + name;
		}
		from = to + 1;
	}
	return "";
}

// Why the environment cannot be had here, or "".
std::string missing(const environment &e)
{
	if (SITKO_INSTRUMENTED)
		return "an instrumented build runs unconfined, its sanitizer's or coverage runtime "
		       "loaded first";
	if (sitko::test::commandline("x") != sitko::test::program("x"))
		return "the programs run under the emulator";
	if (e.tool != nullptr && !onpath(e.tool))
		return std::string(e.tool) + " is not installed (Debian package " + e.package + ")";
	if (e.library != nullptr && findlibrary(e.library).empty())
		return std::string(e.library) + " is not installed (Debian package " + e.package +
		       ")";
	return "";
}

sitko::test::setting settingof(const environment &e)
{
	sitko::test::setting s = {e.command, e.env};
	if (e.library != nullptr)
		s.env.push_back("LD_PRELOAD=" + findlibrary(e.library));
	return s;
}

// Words enough for wordtree to count a file in parts on two threads.
std::string manywords(std::size_t size)
{
	std::string s;
	for (unsigned long i = 0; s.size() < size; i++) {
		for (unsigned long n = i * 2654435761u % 5000; n > 0; n /= 26)
			s += static_cast<char>('a' + n % 26);
		s += i % 8 == 0 ? '\n' : ' ';
	}
	return s;
}

const environment &named(const std::string &name)
{
	for (const auto &e : environments)
		if (name == e.name)
			return e;
	std::abort();
}

// Every program's report and status in the environment, as in a plain run.
void asplain(const environment &e)
{
	if (std::string why = missing(e); !why.empty())
		GTEST_SKIP() << why;
	for (const auto &s : subjects) {
		SCOPED_TRACE(s.name);
		auto plain = sitko::test::run(s.name, sitko::test::sampleinput);
		auto r = sitko::test::run(s.name, sitko::test::sampleinput,
					  sitko::test::source::file, sitko::test::sink::pipe,
					  settingof(e));
		EXPECT_EQ(r.signal, 0);
		EXPECT_EQ(r.status, plain.status);
		EXPECT_EQ(r.out, plain.out);
	}
	if (e.large)
		return;
	// wordtree counting a file in parts, its threads allocating.
	const std::string words = manywords(17 << 20);
	auto plain = sitko::test::run("wordtree", words);
	auto r = sitko::test::run("wordtree", words, sitko::test::source::file,
				  sitko::test::sink::pipe, settingof(e));
	EXPECT_EQ(r.signal, 0);
	EXPECT_EQ(r.status, plain.status);
	EXPECT_TRUE(r.out == plain.out);
}

// A program taken over, played by the probe preloaded after the allocator,
// finds a file and a socket refused at its first read.
void refusedbeside(const environment &e)
{
	if (std::string why = missing(e); !why.empty())
		GTEST_SKIP() << why;
	auto confined = sitko::test::run(
		"charcount", "", sitko::test::source::file, sitko::test::sink::pipe,
		{{}, {"LD_PRELOAD=" SITKO_PROBE_LIBRARY, "SITKO_PROBE=openat"}});
	if (confined.out.find("failed") == std::string::npos)
		GTEST_SKIP() << "the programs are not confined here: " << confined.out;
	for (const auto &s : subjects) {
		if (!s.readsinput)
			continue;
		for (const char *attempt : {"openat", "socket"}) {
			SCOPED_TRACE(std::string(s.name) + ": " + attempt);
			auto setting = settingof(e);
			setting.env.back() += std::string(" ") + SITKO_PROBE_LIBRARY;
			setting.env.push_back(std::string("SITKO_PROBE=") + attempt);
			auto r = sitko::test::run(s.name, sitko::test::sampleinput,
						  sitko::test::source::file,
						  sitko::test::sink::pipe, setting);
			EXPECT_EQ(r.signal, 0);
			EXPECT_EQ(r.status, 3);
			EXPECT_EQ(r.out.rfind(std::string("probe: ") + attempt + " failed: ", 0),
				  0u)
				<< r.out;
		}
	}
}

} // namespace

TEST(environments, fakeroot)
{
	asplain(named("fakeroot"));
}

TEST(environments, jemalloc)
{
	asplain(named("jemalloc"));
}

TEST(environments, mimalloc)
{
	asplain(named("mimalloc"));
}

TEST(environments, tcmalloc)
{
	asplain(named("tcmalloc"));
}

TEST(environments, strace)
{
	asplain(named("strace"));
}

TEST(environments, ltrace)
{
	asplain(named("ltrace"));
}

TEST(environments, valgrind)
{
	asplain(named("valgrind"));
}

TEST(environments, loader_trace)
{
	asplain(named("loader_trace"));
}

TEST(environments, malloc_tunables)
{
	asplain(named("malloc_tunables"));
}

TEST(environments, thread_tunables)
{
	asplain(named("thread_tunables"));
}

TEST(environments, probe_refused_beside_jemalloc)
{
	refusedbeside(named("jemalloc"));
}

TEST(environments, probe_refused_beside_mimalloc)
{
	refusedbeside(named("mimalloc"));
}

TEST(environments, probe_refused_beside_tcmalloc)
{
	refusedbeside(named("tcmalloc"));
}
