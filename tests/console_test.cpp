// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "harness.hpp"

using sitko::test::run;

namespace {

struct consolecase {
	const char *program;
	const char *label;
	std::string input;
	std::string expected;
};

} // namespace

TEST(console, table)
{
	const consolecase cases[] = {
		{"census", "empty input", "", "cyfry= 0000000000,białeznaki= 0, inne= 0\n"},
		{"census", "digits, white, other", "a1 1\n",
		 "cyfry= 0200000000,białeznaki= 2, inne= 1\n"},
		{"census", "CR is other", "\r\n", "cyfry= 0000000000,białeznaki= 1, inne= 1\n"},
		{"census", "counts run together", "111111111111222",
		 "cyfry= 01230000000,białeznaki= 0, inne= 0\n"},
		{"census", "UTF-8 counts bytes, vt and ff are other", "ż\v\f\t9",
		 "cyfry= 0000000001,białeznaki= 1, inne= 4\n"},
		{"census-cases", "empty input", "", "cyfry= 0000000000, białe znaki= 0, inne= 0\n"},
		{"census-cases", "digits, white, other", "a1 1\n",
		 "cyfry= 0200000000, białe znaki= 2, inne= 1\n"},
		{"census-cases", "every digit", "0123456789\t\xff",
		 "cyfry= 1111111111, białe znaki= 1, inne= 1\n"},
		{"charcount", "empty input", "", "0\n"},
		{"charcount", "no newline", "abc", "3\n"},
		{"charcount", "two newlines", "\n\n", "2\n"},
		{"charcount", "UTF-8 letter is two bytes", "ł", "2\n"},
		{"charcount", "NUL counts", std::string("\0\0", 2), "2\n"},
		{"linecount", "empty input", "", "0\n"},
		{"linecount", "last line without newline", "abc", "0\n"},
		{"linecount", "two newlines", "\n\n", "2\n"},
		{"linecount", "CR is no newline", "a\rb\r", "0\n"},
		{"wordcount", "empty input", "", "000\n"},
		{"wordcount", "hello world", "hello world\n", "1212\n"},
		{"wordcount", "runs of separators", "  a\tb  \n\nc", "2310\n"},
		{"wordcount", "CR belongs to a word", "a\r\nb", "124\n"},
		{"wordcount", "high bytes belong to words", "zażółć gęślą", "0219\n"},
		{"wordcount", "separators only", " \t\n", "103\n"},
		{"wordcount", "lone carriage returns", "a\rb\r", "014\n"},
		{"census", "lone carriage return", "\r",
		 "cyfry= 0000000000,białeznaki= 0, inne= 1\n"},
		{"eofvalue", "input ignored", "anything\n", "-10"},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(std::string(c.program) + ": " + c.label);
		auto r = run(c.program, c.input);
		EXPECT_EQ(r.out, c.expected);
		EXPECT_EQ(r.status, 0);
		EXPECT_EQ(r.err, "");
	}
}

TEST(console, thermotable)
{
	const char *table = "  0 -17.8\n 20  -6.7\n 40   4.4\n 60  15.6\n 80  26.7\n"
			    "100  37.8\n120  48.9\n140  60.0\n160  71.1\n180  82.2\n"
			    "200  93.3\n220 104.4\n240 115.6\n260 126.7\n280 137.8\n"
			    "300 148.9\n";
	for (auto from : {sitko::test::source::file, sitko::test::source::closed}) {
		auto r = run("thermotable", "ignored\n", from);
		EXPECT_EQ(r.out, table);
		EXPECT_EQ(r.status, 0);
	}
	auto r = run("eofvalue", "", sitko::test::source::closed);
	EXPECT_EQ(r.out, "-10");
	EXPECT_EQ(r.status, 0);
}

namespace {

std::string contents(const char *path)
{
	std::string s;
	FILE *f = fopen(path, "rb");
	if (f == nullptr)
		return s;
	char chunk[4096];
	std::size_t n;
	while ((n = fread(chunk, 1, sizeof chunk, f)) > 0)
		s.append(chunk, n);
	fclose(f);
	return s;
}

} // namespace

// charcount answers a regular file from its size and offset, and leaves the
// offset at the end; everything else it reads.  A size of whole pages, which
// files under /sys give whatever they hold, is believed only once the bytes
// before it have been read: all of a small file, the last stretch of a large
// one.
TEST(console, charcount_from_the_file_size)
{
	const long long page = sysconf(_SC_PAGESIZE);
	const long long pages = 20 * page;
	const std::string proc = std::to_string(contents("/proc/version").size()) + "\n";
	auto count = [](long long n) { return std::to_string(n) + "\n"; };
	const struct {
		const char *label;
		long long size;
		const char *command;
		std::string out;
		int status;
	} cases[] = {
		{"whole file", 1000, "$P < $F", "1000\n", 0},
		{"after the first 100 bytes", 1000, "{ head -c 100 >/dev/null; $P; } < $F", "900\n",
		 0},
		{"offset left at the end", 1000, "{ $P; cat; } < $F", "1000\n", 0},
		{"offset past the end", 1000, "{ head -c 5000 >/dev/null; $P; } < $F", "0\n", 0},
		{"a pipe", 1000, "cat $F | $P", "1000\n", 0},
		{"a size of 0 that is not the truth", 1000, "$P < /proc/version", proc, 0},
		{"open for writing only", 1000, "$P 0>>$F", "0\n", 1},
		{"one page", page, "$P < $F", count(page), 0},
		{"many pages", pages, "$P < $F", count(pages), 0},
		{"many pages and a byte", pages + 1, "$P < $F", count(pages + 1), 0},
		{"many pages, offset left at the end", pages, "{ $P; wc -c; } < $F",
		 count(pages) + "0\n", 0},
		{"many pages from a page in", pages, "{ head -c 4096 >/dev/null; $P; } < $F",
		 count(pages - 4096), 0},
		{"many pages from near the end", pages,
		 "{ head -c $(( $(wc -c < $F) - 10 )) >/dev/null; $P; } < $F", "10\n", 0},
	};
	char path[] = "/tmp/charcount.XXXXXX";
	int fd = mkstemp(path);
	ASSERT_GE(fd, 0);
	close(fd);
	for (const auto &c : cases) {
		SCOPED_TRACE(c.label);
		ASSERT_EQ(truncate(path, 0), 0);
		ASSERT_EQ(truncate(path, static_cast<off_t>(c.size)), 0);
		auto r = sitko::test::shell("charcount", path, c.command);
		EXPECT_EQ(r.out, c.out);
		EXPECT_EQ(r.status, c.status);
	}
	unlink(path);
}

// Files under /sys give a page as their size whatever they hold, and those
// under /proc 0; each readable one sampled is counted as reading it to the
// end counts it.  The settings are sampled rather than the counters at the
// top of /proc, which change between any two reads, and all the more under
// an emulator.
TEST(console, charcount_on_system_files)
{
	namespace fs = std::filesystem;
	std::string list;
	std::size_t n = 0;
	for (const char *top : {"/proc/sys/kernel", "/proc/sys/vm", "/sys/kernel/mm", "/sys/module",
				"/sys/devices/system/cpu"}) {
		std::error_code e;
		std::size_t most = n + 30;
		for (fs::recursive_directory_iterator
			     it(top, fs::directory_options::skip_permission_denied, e),
		     end;
		     !e && it != end && n < most; it.increment(e)) {
			if (it.depth() >= 3)
				it.disable_recursion_pending();
			std::error_code f;
			if (!it->is_regular_file(f) || access(it->path().c_str(), R_OK) != 0 ||
			    it->path().string().find('\'') != std::string::npos)
				continue;
			list += it->path().string() + "\n";
			n++;
		}
	}
	if (n == 0)
		GTEST_SKIP() << "no readable files under /proc or /sys here";
	char path[] = "/tmp/sysfiles.XXXXXX";
	int fd = mkstemp(path);
	ASSERT_GE(fd, 0);
	ASSERT_EQ(write(fd, list.data(), list.size()), static_cast<ssize_t>(list.size()));
	close(fd);
	// A disagreement counts when it is seen with wc -c giving the same
	// count before and after, and no try of three shows agreement.
	auto r = sitko::test::shell(
		"charcount", path,
		"while read -r f; do bad=; for try in 1 2 3; do "
		"a=$(wc -c < \"$f\" 2>/dev/null) || continue 2; b=$(timeout 5 $P < \"$f\"); "
		"c=$(wc -c < \"$f\" 2>/dev/null) || continue 2; [ \"$a\" = \"$c\" ] || continue; "
		"[ \"$a\" = \"$b\" ] && continue 2; bad=\"$f: $b, wc -c $a\"; done; "
		"[ -n \"$bad\" ] && echo \"$bad\"; done < $F; true");
	unlink(path);
	EXPECT_EQ(r.out, "") << n << " files sampled";
}
