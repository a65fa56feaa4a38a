// SPDX-License-Identifier: MIT
// The byte layouts of wordtree's counting, each defined once: a record (a
// word and its count, in a table's blocks), a slot (an index entry naming a
// record), and a sent word (on its way from the thread that read it to the
// thread that owns its partition).
//
//   record:     | count: 8 | length: 1 | the word's bytes ...
//   sent word:  | hash: 8  | count: 8 | length: 1 | the word's bytes ...
//   slot:       | tag: the hash's top 24 bits | offset of the record: 40 bits |
//
// Records and sent words are packed one after another.  Every area that
// holds them has room for WORD_SLACK bytes after its last, so a word can be
// read, and copied, sixteen bytes at a time.
#ifndef SITKO_LAYOUT_HPP
#define SITKO_LAYOUT_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "takewords.hpp"
#include "wordhash.hpp"

namespace sitko {

namespace layout {
inline constexpr std::size_t COUNT = 0;
inline constexpr std::size_t LENGTH = 8;
inline constexpr std::size_t TEXT = 9;
// A sent word: the record's fields after its hash.
inline constexpr std::size_t HASH = 0;
inline constexpr std::size_t SENT = 8;
} // namespace layout

// A record: its header, then its bytes.
inline constexpr std::size_t HEADER = layout::TEXT;
// A sent word: its hash, then a record.
inline constexpr std::size_t SENT_HEADER = layout::SENT + HEADER;
static_assert(WORD_LIMIT <= 0xff, "a word's length is held in one byte");

inline long long countof(const unsigned char *r)
{
	long long c;
	memcpy(&c, r + layout::COUNT, sizeof c);
	return c;
}

inline void setcount(unsigned char *r, long long c)
{
	memcpy(r + layout::COUNT, &c, sizeof c);
}

inline std::size_t lengthof(const unsigned char *r)
{
	return r[layout::LENGTH];
}

inline const unsigned char *textof(const unsigned char *r)
{
	return r + layout::TEXT;
}

inline std::size_t recordsize(const unsigned char *r)
{
	return HEADER + lengthof(r);
}

// Writes a record at r, and returns its size.
inline std::size_t putrecord(unsigned char *r, long long count, const unsigned char *w,
			     std::size_t len)
{
	setcount(r, count);
	r[layout::LENGTH] = static_cast<unsigned char>(len);
	// Most words are short: sixteen bytes at once, which the word and the
	// place it goes both have room for, where that covers it.
	memcpy(r + layout::TEXT, w, len <= WORD_SLACK ? WORD_SLACK : len);
	return HEADER + len;
}

inline std::uint64_t senthash(const unsigned char *e)
{
	return load8(e + layout::HASH);
}

// The record a sent word carries.
inline const unsigned char *sentrecord(const unsigned char *e)
{
	return e + layout::SENT;
}

inline std::size_t sentsize(const unsigned char *e)
{
	return layout::SENT + recordsize(sentrecord(e));
}

inline std::size_t putsent(unsigned char *e, std::uint64_t hash, long long count,
			   const unsigned char *w, std::size_t len)
{
	memcpy(e + layout::HASH, &hash, 8);
	return layout::SENT + putrecord(e + layout::SENT, count, w, len);
}

inline constexpr unsigned OFFSET_BITS = 40;
inline constexpr unsigned TAG_BITS = 64 - OFFSET_BITS;
inline constexpr std::uint64_t OFFSET_MASK = (std::uint64_t{1} << OFFSET_BITS) - 1;
static_assert(TAG_BITS == 24 && OFFSET_BITS + TAG_BITS == 64);

inline std::uint64_t tagof(std::uint64_t hash)
{
	return hash >> OFFSET_BITS;
}

inline std::uint64_t makeslot(std::uint64_t hash, std::uint64_t offset)
{
	return tagof(hash) << OFFSET_BITS | offset;
}

inline std::uint64_t slottag(std::uint64_t slot)
{
	return slot >> OFFSET_BITS;
}

inline std::uint64_t slotoffset(std::uint64_t slot)
{
	return slot & OFFSET_MASK;
}

} // namespace sitko

#endif
