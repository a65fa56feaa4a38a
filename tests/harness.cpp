// SPDX-License-Identifier: MIT
#include "harness.hpp"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace sitko::test {

int inputfile(std::string_view input)
{
	int fd = memfd_create("input", 0);
	std::size_t done = 0;
	while (done < input.size()) {
		ssize_t n = write(fd, input.data() + done, input.size() - done);
		if (n <= 0)
			std::abort();
		done += static_cast<std::size_t>(n);
	}
	lseek(fd, 0, SEEK_SET);
	return fd;
}

namespace {

void drain(int &fd, std::string &into, std::size_t most = 65536)
{
	char chunk[65536];
	ssize_t n = read(fd, chunk, most);
	if (n > 0) {
		into.append(chunk, static_cast<std::size_t>(n));
	} else if (n == 0 || errno != EINTR) {
		close(fd);
		fd = -1;
	}
}

} // namespace

// Empty for a native build; for a cross build, the emulator's command words.
const char *const emulator[] = {SITKO_EMULATOR nullptr};

std::string program(std::string_view name)
{
	if (name.find('/') != std::string_view::npos)
		return std::string(name);
	return std::string(SITKO_BIN_DIR) + "/" + std::string(name);
}

std::string commandline(std::string_view name)
{
	std::string line;
	for (const char *const *word = emulator; *word != nullptr; word++)
		line += std::string(*word) + " ";
	return line + program(name);
}

outcome run(std::string_view name, std::string_view input, source from, sink to,
	    const setting &within)
{
	std::string path = program(name);
	// A program that exits before taking all its input must not take the
	// test down with it.
	signal(SIGPIPE, SIG_IGN);
	int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};

	if (from == source::file || from == source::ignoredchild)
		in[0] = inputfile(input);
	else if ((from == source::trickle || from == source::nonblocking) &&
		 pipe2(in, O_CLOEXEC) != 0)
		std::abort();
	else if (from == source::directory)
		in[0] = open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	// O_NONBLOCK belongs to the open pipe, so the program inherits it as a
	// parent would leave it.
	if (from == source::nonblocking)
		fcntl(in[0], F_SETFL, O_NONBLOCK);
	if (to == sink::pipe || to == sink::broken || to == sink::slow || to == sink::nonblocking) {
		if (pipe2(out, O_CLOEXEC) != 0)
			std::abort();
		// The reader goes before the program starts, so its first write
		// meets a pipe with no reader, whatever the timing.
		if (to == sink::broken) {
			close(out[0]);
			out[0] = -1;
		}
		if (to == sink::nonblocking)
			fcntl(out[1], F_SETFL, O_NONBLOCK);
	} else if (to == sink::full) {
		out[1] = open("/dev/full", O_WRONLY | O_CLOEXEC);
	} else if (to == sink::readonly) {
		out[1] = open("/dev/null", O_RDONLY | O_CLOEXEC);
	}
	if (pipe2(err, O_CLOEXEC) != 0)
		std::abort();

	std::vector<std::string> words;
	for (const char *const *word = emulator; *word != nullptr; word++)
		words.emplace_back(*word);
	words.insert(words.end(), within.command.begin(), within.command.end());
	words.push_back(path);
	std::vector<char *> argv;
	for (auto &w : words)
		argv.push_back(w.data());
	argv.push_back(nullptr);
	std::vector<std::string> settings(within.env);
	for (char **e = environ; *e != nullptr; e++)
		settings.emplace_back(*e);
	std::vector<char *> envp;
	for (auto &e : settings)
		envp.push_back(e.data());
	envp.push_back(nullptr);

	pid_t pid = fork();
	if (pid == 0) {
		signal(SIGPIPE, SIG_DFL);
		if (from == source::ignoredchild)
			signal(SIGCHLD, SIG_IGN);
		if (in[0] >= 0)
			dup2(in[0], STDIN_FILENO);
		else
			close(STDIN_FILENO);
		if (out[1] >= 0)
			dup2(out[1], STDOUT_FILENO);
		else
			close(STDOUT_FILENO);
		dup2(err[1], STDERR_FILENO);
		execvpe(argv[0], argv.data(), envp.data());
		_exit(127);
	}

	if (in[0] >= 0)
		close(in[0]);
	if (out[1] >= 0)
		close(out[1]);
	close(err[1]);
	int feed = in[1];
	int &outfd = out[0];
	int &errfd = err[0];

	outcome result;
	std::size_t fed = 0;
	if (feed >= 0 && input.empty()) {
		close(feed);
		feed = -1;
	}
	while (feed >= 0 || outfd >= 0 || errfd >= 0) {
		pollfd fds[3] = {{feed, POLLOUT, 0}, {outfd, POLLIN, 0}, {errfd, POLLIN, 0}};
		if (poll(fds, 3, -1) < 0) {
			if (errno == EINTR)
				continue;
			std::abort();
		}
		if (feed >= 0 && fds[0].revents != 0) {
			// One byte per write, so the program sees the input in the
			// smallest pieces a pipe can deliver.
			if ((fds[0].revents & POLLOUT) == 0 ||
			    write(feed, input.data() + fed, 1) != 1) {
				close(feed);
				feed = -1;
			} else if (++fed == input.size()) {
				close(feed);
				feed = -1;
			} else if (from == source::nonblocking) {
				usleep(200); // slower than the program reads
			}
		}
		if (outfd >= 0 && fds[1].revents != 0) {
			if (to == sink::slow || to == sink::nonblocking) {
				drain(outfd, result.out, 4096);
				usleep(200); // slower than the program writes
			} else {
				drain(outfd, result.out);
			}
		}
		if (errfd >= 0 && fds[2].revents != 0)
			drain(errfd, result.err);
	}

	int status = 0;
	while (waitpid(pid, &status, 0) < 0 && errno == EINTR)
		;
	if (WIFEXITED(status))
		result.status = WEXITSTATUS(status);
	else if (WIFSIGNALED(status))
		result.signal = WTERMSIG(status);
	return result;
}

shellrun shell(std::string_view name, const std::string &file, const std::string &command)
{
	std::string line = "P='" + commandline(name) + "' F='" + file + "' sh -c '" + command + "'";
	shellrun r{"", -1};
	FILE *p = popen(line.c_str(), "r");
	if (p == nullptr)
		return r;
	char chunk[4096];
	std::size_t n;
	while ((n = fread(chunk, 1, sizeof chunk, p)) > 0)
		r.out.append(chunk, n);
	int status = pclose(p);
	r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
	return r;
}

} // namespace sitko::test
