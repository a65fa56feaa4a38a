// Every program against failing input and output: a failure must show in the
// exit status, never on standard error, and never pass for success.
#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include "harness.hpp"

using namespace sitko::test;

namespace {

struct subject {
	const char *name;
	bool readsinput;
};

const subject subjects[] = {
	{"longline", true},
	{"lineorder", true},
	{"reservedwords", true},
	{"wordtree", true},
	{"census", true},
	{"census-cases", true},
	{"charcount", true},
	{"linecount", true},
	{"wordcount", true},
	{"thermotable", false},
	{"eofvalue", false},
};

// Something every program has a report for, keywords included.
const std::string input = "while (x) break;\n\tzażółć 42 gęślą\r\nb a\n";

} // namespace

TEST(faults, output_to_full_device)
{
	for (const auto &s : subjects) {
		SCOPED_TRACE(s.name);
		auto r = run(s.name, input, source::file, sink::full);
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(r.err, "");
	}
}

TEST(faults, output_closed)
{
	for (const auto &s : subjects) {
		SCOPED_TRACE(s.name);
		auto r = run(s.name, input, source::file, sink::closed);
		EXPECT_EQ(r.status, 1);
		EXPECT_EQ(r.err, "");
	}
}

TEST(faults, input_unreadable)
{
	for (source from : {source::directory, source::closed})
		for (const auto &s : subjects) {
			SCOPED_TRACE(s.name);
			auto r = run(s.name, "", from);
			EXPECT_EQ(r.status, s.readsinput ? 1 : 0);
			EXPECT_EQ(r.err, "");
		}
}

TEST(faults, reader_gone_ends_with_sigpipe)
{
	for (const auto &s : subjects) {
		SCOPED_TRACE(s.name);
		auto r = run(s.name, input, source::file, sink::broken);
		EXPECT_EQ(r.signal, SIGPIPE);
		EXPECT_EQ(r.err, "");
	}
}

TEST(faults, input_one_byte_at_a_time)
{
	for (const auto &s : subjects) {
		SCOPED_TRACE(s.name);
		auto whole = run(s.name, input);
		auto trickled = run(s.name, input, source::trickle);
		EXPECT_EQ(trickled.out, whole.out);
		EXPECT_EQ(trickled.status, whole.status);
		EXPECT_EQ(trickled.err, "");
	}
}
