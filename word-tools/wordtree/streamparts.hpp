// SPDX-License-Identifier: MIT
// Counting a stream on several threads: this one reads it and hands it out
// in blocks, each cut where counting may begin afresh (cuts.hpp), and the
// threads take them in turn and count them into one vocabulary.
#ifndef SITKO_STREAMPARTS_HPP
#define SITKO_STREAMPARTS_HPP

#include <cstddef>

#include "input.hpp"
#include "tree.hpp"

namespace sitko {

// Counts the words of in into root with up to nworkers threads, in blocks
// of about handoff bytes; on input shorter than that, no thread is started.
// A read error ends the input, as in one pass, and so does nothing else:
// once memory has run out the rest is still read.
int countstream(reader &in, std::size_t nworkers, std::size_t handoff, vocabulary *&root);

} // namespace sitko

#endif
