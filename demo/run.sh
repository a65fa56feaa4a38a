#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs every program on the sample text: under each heading, a line that says
# what the report holds, then the report as the program wrote it.
# usage: run.sh bindir sample
bindir=$1
sample=$2
status=0
while IFS='|' read -r prog what; do
	printf '\n== %s ==\n%s:\n' "$prog" "$what"
	"$bindir/$prog" < "$sample" || status=1
	printf '\n'
done <<'PROGRAMS'
longline|the longest line of the text
lineorder|the lines of the text in byte order
reservedwords|each of eleven C keywords that occurs, its count in a 4-wide field, written run together
wordtree|every word with its count, in byte order
census|the count of each digit 0 to 9 run together, then white space and other bytes
census-cases|the same census, worded otherwise
charcount|the number of bytes
linecount|the number of lines (newlines)
wordcount|lines, words and bytes, written run together
thermotable|a Fahrenheit-to-Celsius table (input ignored)
eofvalue|the end-of-input value, then 0, run together (input ignored)
PROGRAMS
exit $status
