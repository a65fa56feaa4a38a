// SPDX-License-Identifier: MIT
#include "takewords.hpp"

#include <bit>
#include <cstring>

namespace sitko {

namespace {

// Marks the words of the strip from p on.  A word begins at the first byte
// of classes.first in a run of classes.rest bytes; the bytes of the run
// before it (digits, for getword) belong to no word.  Such a lead-in is a
// run of rest-but-not-first bytes that begins the run: adding its first bit
// to the mask of those bytes clears exactly the lead-in.  The limit on a
// word's length is left to the caller.
void markstrip(wordstrip &strip, const unsigned char *p, const unsigned char *end,
	       const wordclasses &classes)
{
	auto n = static_cast<std::size_t>(end - p);
	n = n < STRIP ? n : STRIP;
	std::uint64_t first[STRIP_WORDS], rest[STRIP_WORDS];
	classify(bytes(p, n), classes, first, rest);
	std::uint64_t inword = strip.inword;
	for (std::size_t i = 0; i < (n + 63) / 64; i++) {
		std::uint64_t r = rest[i], d = r & ~first[i];
		// Within the 64 bytes a lead-in starts after a byte outside any
		// run; at the first of them, after any byte not in a word (a
		// lead-in going on from the bytes before starts afresh here).
		std::uint64_t leadstarts = d & ~(r << 1 | inword);
		std::uint64_t lead = d & ~(d + leadstarts);
		std::uint64_t w = r & ~lead;
		std::uint64_t before = w << 1 | inword;
		strip.starts[i] = w & ~before;
		strip.ends[i] = ~w & before;
		inword = w >> 63;
	}
	if (n % 64 != 0) // nothing past the end of the input ends a word
		strip.ends[n / 64] &= ~(~std::uint64_t{0} << (n % 64));
	strip.inword = inword;
	strip.base = p;
	strip.stop = p + n;
}

struct wordsink {
	wordscan &scan;
	std::span<wordref> out;
	std::size_t n;
	const unsigned char *end; // the end of the block
	bool full() const
	{
		return n == out.size() || scan.words.ncopies == COPIES;
	}
	void put(const unsigned char *s, const unsigned char *e)
	{
		auto len = static_cast<std::size_t>(e - s);
		if (static_cast<std::size_t>(end - e) >= WORD_SLACK) {
			out[n++] = {s, len};
		} else {
			unsigned char *to = scan.words.copy[scan.words.ncopies++];
			memcpy(to, s, len);
			out[n++] = {to, len};
		}
	}
};

// Goes on with the word in carry from the bytes at p; returns where it left
// off.
const unsigned char *finishcarry(wordstate &words, const unsigned char *p, const unsigned char *end,
				 const wordclasses &classes, std::size_t limit, wordsink &sink)
{
	while (p < end && words.carried < limit && classes.rest.member[*p])
		words.carry[words.carried++] = *p++;
	if (p == end && words.carried < limit)
		return p;
	// A copy of its own: the rest of the run may need carry again.
	words.carrying = false;
	unsigned char *to = words.copy[words.ncopies++];
	memcpy(to, words.carry, words.carried);
	sink.out[sink.n++] = {to, words.carried};
	words.inrun = p < end && classes.rest.member[*p];
	return p;
}

// Within a run of rest bytes after a word cut by the limit, the words come
// one byte at a time, as getword takes them: from the next first byte, at
// most limit bytes.  Returns where it left off: at the end of the run, the
// end of the buffer (with the last word in carry), or where sink filled.
const unsigned char *splitrun(wordstate &words, const unsigned char *p, const unsigned char *end,
			      const wordclasses &classes, std::size_t limit, wordsink &sink)
{
	while (p < end && !sink.full()) {
		if (!classes.rest.member[*p]) {
			words.inrun = false;
			return p;
		}
		if (!classes.first.member[*p]) {
			p++;
			continue;
		}
		const unsigned char *s = p;
		const unsigned char *stop =
			static_cast<std::size_t>(end - s) > limit ? s + limit : end;
		while (p < stop && classes.rest.member[*p])
			p++;
		if (p == end && static_cast<std::size_t>(p - s) < limit) {
			memcpy(words.carry, s, static_cast<std::size_t>(p - s));
			words.carried = static_cast<std::size_t>(p - s);
			words.carrying = true;
			words.inrun = false;
			return p;
		}
		sink.put(s, p);
	}
	return p;
}

// Hands out the first limit bytes of a longer word; the rest of its run
// comes one byte at a time, and the marks go on after the run.  Returns
// where the rest begins.
const unsigned char *cutword(wordstate &words, const unsigned char *w, std::size_t limit,
			     wordsink &sink)
{
	sink.put(w, w + limit);
	words.inrun = true;
	return w + limit;
}

// A word the marks show that is too long or too near the end of the buffer
// to hand out as it lies; returns where the marks go on, or null when they
// go on after the word.
const unsigned char *copyword(wordstate &words, const unsigned char *w, const unsigned char *e,
			      std::size_t limit, wordsink &sink)
{
	if (static_cast<std::size_t>(e - w) > limit)
		return cutword(words, w, limit, sink);
	sink.put(w, e);
	return nullptr;
}

// The words the marks show, from p on; returns where it left off.
const unsigned char *markedwords(wordscan &scan, const unsigned char *p, const unsigned char *end,
				 const wordclasses &classes, std::size_t limit, wordsink &sink)
{
	// A word that ends this near the end of the buffer is copied.
	const unsigned char *safe =
		static_cast<std::size_t>(end - p) > WORD_SLACK ? end - WORD_SLACK : p;
	wordstrip &strip = scan.strip;
	wordstate &words = scan.words;
	const unsigned char *s = words.pending;
	words.pending = nullptr;
	while (!sink.full()) {
		if (p < strip.base || p >= strip.stop) {
			if (p >= end)
				break;
			// Only where the last strip ends can a word go on from
			// the bytes before p; everywhere else they end any run.
			if (p != strip.stop)
				strip.inword = 0;
			markstrip(strip, p, end, classes);
		}
		const unsigned char *base = strip.base;
		std::size_t nw = (static_cast<std::size_t>(strip.stop - base) + 63) / 64;
		auto offset = static_cast<std::size_t>(p - base);
		std::size_t i = offset / 64;
		std::uint64_t from = ~std::uint64_t{0} << (offset % 64);
		std::uint64_t st = strip.starts[i] & from, en = strip.ends[i] & from;
		const unsigned char *at = base + i * 64; // where the bits of st and en begin
		// The sink is kept in locals on the way through a strip.
		wordref *out = sink.out.data();
		std::size_t n = sink.n, room = sink.out.size();
		for (;;) {
			const unsigned char *w = s;
			if (w == nullptr) {
				while (st == 0) {
					if (++i == nw)
						goto stripdone;
					st = strip.starts[i];
					en = strip.ends[i];
					at += 64;
				}
				w = at + std::countr_zero(st);
				st &= st - 1;
			}
			while (en == 0) {
				if (++i == nw) {
					s = w; // it goes on past the strip
					goto stripdone;
				}
				st = strip.starts[i];
				en = strip.ends[i];
				at += 64;
			}
			s = nullptr;
			const unsigned char *e = at + std::countr_zero(en);
			en &= en - 1;
			auto len = static_cast<std::size_t>(e - w);
			if (len > limit || e > safe) [[unlikely]] {
				sink.n = n;
				if (const unsigned char *go =
					    copyword(scan.words, w, e, limit, sink))
					return go;
				n = sink.n;
				if (sink.full())
					return e + 1; // e ends a run, so it begins no word
			} else {
				out[n++] = {w, len};
				if (n == room) {
					sink.n = n;
					return e + 1;
				}
			}
		}
	stripdone:
		sink.n = n;
		p = strip.stop;
	}
	words.pending = s;
	return p;
}

} // namespace

std::size_t takewords(reader &in, wordscan &scan, const wordclasses &classes, std::size_t limit,
		      std::span<wordref> out)
{
	wordstrip &strip = scan.strip;
	wordstate &words = scan.words;
	wordsink sink = {scan, out, 0, nullptr};
	words.ncopies = 0;
	for (;;) {
		auto block = peekblock(in);
		if (block.empty()) {
			if (words.carrying) {
				words.carrying = false;
				out[sink.n++] = {words.carry, words.carried};
			}
			words.inrun = false;
			return sink.n;
		}
		const unsigned char *p = block.data();
		const unsigned char *end = p + block.size();
		sink.end = end;
		if (strip.block != blockid(in) || strip.classes != &classes) {
			strip.block = blockid(in);
			strip.classes = &classes;
			strip.base = strip.stop = end;
			strip.inword = 0;
			words.pending = nullptr;
		}

		while (p < end && !sink.full()) {
			if (words.carrying || words.inrun) {
				p = words.carrying
					    ? finishcarry(words, p, end, classes, limit, sink)
					    : splitrun(words, p, end, classes, limit, sink);
				// The byte that ended the run begins no word, and the
				// marks hold again after it.
				if (!words.carrying && !words.inrun && p < end)
					p++;
			} else {
				p = markedwords(scan, p, end, classes, limit, sink);
				if (p == end && words.pending != nullptr) {
					// A word the end of the block cuts.
					const unsigned char *s = words.pending;
					words.pending = nullptr;
					auto len = static_cast<std::size_t>(end - s);
					if (len >= limit) {
						p = cutword(words, s, limit, sink);
						continue;
					}
					memcpy(words.carry, s, len);
					words.carried = len;
					words.carrying = true;
				}
			}
		}
		skipinput(in, static_cast<std::size_t>(p - block.data()));
		if (sink.n > 0)
			return sink.n;
	}
}

} // namespace sitko
