// SPDX-License-Identifier: MIT
// lineorder: sort the lines of standard input in byte order.
//
// Up to MAX_LINES lines are read, each without its newline; one line more
// gives an error message and status 1 and nothing else is written.
#include <cstring>

#include "confine.hpp"
#include "finish.hpp"
#include "lines.hpp"
#include "output.hpp"
#include "programs.hpp"

namespace sitko {

namespace {

char *lineptr[MAX_LINES];

int readlines(char *v[], int maxlines)
{
	char line[LINE_CAPACITY];
	int len;
	int nlines = 0;

	while ((len = mygetline(line, LINE_CAPACITY)) > 0) {
		if (nlines >= maxlines)
			return -1;
		// Only a newline gives way to the terminator; a last line
		// without one, or a piece of an over-long line, keeps every byte.
		int size = line[len - 1] == '\n' ? len : len + 1;
		char *p = alloc(size);
		if (p == nullptr)
			return -1;
		line[size - 1] = '\0';
		strcpy(p, line);
		v[nlines++] = p;
	}
	return nlines;
}

void writelines(char *v[], int nlines)
{
	while (nlines-- > 0)
		putline(*v++);
}

void swap(char *v[], int i, int j)
{
	char *temp = v[i];
	v[i] = v[j];
	v[j] = temp;
}

void qsort(char *v[], int left, int right)
{
	if (left >= right)
		return;
	swap(v, left, (left + right) / 2);
	int last = left;
	for (int i = left + 1; i <= right; i++)
		if (strcmp(v[i], v[left]) < 0)
			swap(v, ++last, i);
	swap(v, left, last);
	qsort(v, left, last - 1);
	qsort(v, last + 1, right);
}

} // namespace

int lineorder(reader &in)
{
	mygetlinefrom(in);
	freeall();
	int nlines = readlines(lineptr, MAX_LINES);
	if (nlines >= 0) {
		qsort(lineptr, 0, nlines - 1);
		writelines(lineptr, nlines);
		return 0;
	}
	putline("Błąd: za dużo wierszy do sortowania");
	return 1;
}

} // namespace sitko

#if !defined(SITKO_NO_MAIN)
int main()
{
	sitko::reader &in = sitko::standardinput();
	sitko::confine(sitko::family::reads);
	return sitko::finish(sitko::lineorder(in), in);
}
#endif
