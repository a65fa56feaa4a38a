// SPDX-License-Identifier: MIT
// Every program against failing input and output: a failure must show in the
// exit status, never on standard error, and never pass for success.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <utility>

#include "harness.hpp"

using namespace sitko::test;

namespace {

const std::string &input = sampleinput;

} // namespace

TEST(faults, output_unwritable)
{
	for (sink to : {sink::full, sink::closed, sink::readonly})
		for (const auto &s : subjects) {
			SCOPED_TRACE(s.name);
			auto r = run(s.name, input, source::file, to);
			EXPECT_EQ(r.status, 1);
			EXPECT_EQ(r.err, "");
		}
}

// With nothing to write, no byte is lost, however standard output is missing.
TEST(faults, empty_report_is_no_failure)
{
	const struct {
		const char *name;
		const char *input;
	} cases[] = {
		{"longline", ""}, {"lineorder", ""},      {"reservedwords", "no keyword here\n"},
		{"wordtree", ""}, {"wordtree", "  \n\t"},
	};
	for (sink to : {sink::pipe, sink::full, sink::closed, sink::readonly})
		for (const auto &c : cases) {
			SCOPED_TRACE(std::string(c.name) + " sink " +
				     std::to_string(static_cast<int>(to)));
			auto r = run(c.name, c.input, source::file, to);
			EXPECT_EQ(r.status, 0);
			EXPECT_EQ(r.out, "");
			EXPECT_EQ(r.err, "");
		}
}

// A parent may hand its descriptors down non-blocking, or stop and interrupt
// the program: the report and the status are those of a plain run.
TEST(faults, nonblocking_and_slow_descriptors)
{
	const std::pair<source, sink> ways[] = {
		{source::nonblocking, sink::pipe},
		{source::file, sink::nonblocking},
		{source::nonblocking, sink::nonblocking},
		{source::trickle, sink::slow},
	};
	for (const auto &s : subjects) {
		auto plain = run(s.name, input);
		for (auto [from, to] : ways) {
			SCOPED_TRACE(std::string(s.name) + " source " +
				     std::to_string(static_cast<int>(from)) + " sink " +
				     std::to_string(static_cast<int>(to)));
			auto r = run(s.name, input, from, to);
			EXPECT_EQ(r.out, plain.out);
			EXPECT_EQ(r.status, 0);
			EXPECT_EQ(r.err, "");
		}
	}
}

TEST(faults, large_report_to_slow_reader)
{
	// 5000 lines of 475 bytes: 2,376,000 bytes, many pipefuls.
	std::string lines;
	for (int i = 4999; i >= 0; i--) {
		std::string n = std::to_string(i);
		lines += std::string(5 - n.size(), '0') + n + std::string(469, 'x') + "\n";
	}
	std::string sorted;
	for (int i = 0; i < 5000; i++) {
		std::string n = std::to_string(i);
		sorted += std::string(5 - n.size(), '0') + n + std::string(469, 'x') + "\n";
	}
	for (sink to : {sink::slow, sink::nonblocking}) {
		auto r = run("lineorder", lines, source::file, to);
		EXPECT_EQ(r.out.size(), sorted.size());
		EXPECT_TRUE(r.out == sorted);
		EXPECT_EQ(r.status, 0);
	}
}

// Reads and writes interrupted by a signal whose handler does not restart
// them: every byte still gets through, and the status stays 0.
TEST(faults, interrupted_reads_and_writes)
{
	const std::string copier = std::string(SITKO_TEST_DIR) + "/interrupted";
	std::string big;
	for (int i = 0; big.size() < 3000000; i++)
		big += std::to_string(i) + (i % 17 == 0 ? "\n" : " ");
	const struct {
		source from;
		sink to;
		std::string input;
	} cases[] = {
		{source::file, sink::slow, big},
		{source::trickle, sink::pipe, big.substr(0, 20000)},
		{source::nonblocking, sink::nonblocking, big.substr(0, 2000)},
	};
	for (const auto &c : cases) {
		auto r = run(copier, c.input, c.from, c.to);
		EXPECT_EQ(r.out.size(), c.input.size());
		EXPECT_TRUE(r.out == c.input);
		EXPECT_EQ(r.status, 0);
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
