// SPDX-License-Identifier: MIT
// An AVL tree: sorted input would turn a plain search tree into a list, with
// quadratic time and recursion as deep as the number of words.  Here the
// height stays below 1.45 log2(n), and so does the recursion.
//
// Most words of a text have been seen before, so a hash index over the
// nodes finds them in one probe instead of some twenty string comparisons
// down the tree; only new words descend it.
#include "tree.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "finish.hpp"
#include "output.hpp"
#include "wordhash.hpp"

namespace sitko {

struct tnode {
	tnode *left;
	tnode *right;
	long long count;
	std::uint64_t hash;
	int height;
	char *word; // stored right after the node
};

namespace {

// Nodes are carved from large blocks that are never released: every node
// lives until exit, and the blocks stay reachable through storelist.
constexpr std::size_t STORE_BLOCK = 1 << 20;

struct storeblock {
	storeblock *next;
};

storeblock *storelist;
char *storepos;
std::size_t storeleft;

[[noreturn]] void outofmemory()
{
	// Without room for a word the report would be wrong; say so through
	// the status rather than print short counts.
	exit(finish(1));
}

void *store(std::size_t n)
{
	n = (n + alignof(tnode) - 1) & ~(alignof(tnode) - 1);
	if (n > storeleft) {
		std::size_t size =
			n + sizeof(storeblock) > STORE_BLOCK ? n + sizeof(storeblock) : STORE_BLOCK;
		auto *block = static_cast<storeblock *>(malloc(size));
		if (block == nullptr)
			outofmemory();
		block->next = storelist;
		storelist = block;
		storepos = reinterpret_cast<char *>(block) + sizeof(storeblock);
		storeleft = size - sizeof(storeblock);
	}
	void *p = storepos;
	storepos += n;
	storeleft -= n;
	return p;
}

tnode *talloc(const char *word, std::size_t len, std::uint64_t hash)
{
	auto *p = static_cast<tnode *>(store(sizeof(tnode) + len + 1));
	p->word = reinterpret_cast<char *>(p + 1);
	p->left = p->right = nullptr;
	p->count = 1;
	p->hash = hash;
	p->height = 1;
	memcpy(p->word, word, len + 1);
	return p;
}

// The index: open addressing with linear probing, kept at most half full,
// hashed with a key drawn when the first word arrives.
tnode **slots;
std::size_t slotcount;
std::size_t used;
hashkey key;

tnode **slotfor(const char *word, std::uint64_t hash)
{
	std::size_t mask = slotcount - 1;
	for (std::size_t i = static_cast<std::size_t>(hash) & mask;; i = (i + 1) & mask)
		if (slots[i] == nullptr ||
		    (slots[i]->hash == hash && strcmp(slots[i]->word, word) == 0))
			return &slots[i];
}

void grow()
{
	tnode **old = slots;
	std::size_t oldcount = slotcount;
	if (slotcount == 0)
		key = randomkey();
	slotcount = slotcount == 0 ? 1024 : 2 * slotcount;
	slots = static_cast<tnode **>(calloc(slotcount, sizeof *slots));
	if (slots == nullptr)
		outofmemory();
	for (std::size_t i = 0; i < oldcount; i++)
		if (old[i] != nullptr)
			*slotfor(old[i]->word, old[i]->hash) = old[i];
	free(old);
}

int height(const tnode *p)
{
	return p != nullptr ? p->height : 0;
}

void update(tnode *p)
{
	int l = height(p->left);
	int r = height(p->right);
	p->height = (l > r ? l : r) + 1;
}

tnode *rotateright(tnode *p)
{
	tnode *q = p->left;
	p->left = q->right;
	q->right = p;
	update(p);
	update(q);
	return q;
}

tnode *rotateleft(tnode *p)
{
	tnode *q = p->right;
	p->right = q->left;
	q->left = p;
	update(p);
	update(q);
	return q;
}

tnode *balance(tnode *p)
{
	update(p);
	int lean = height(p->left) - height(p->right);
	if (lean > 1) {
		if (height(p->left->left) < height(p->left->right))
			p->left = rotateleft(p->left);
		return rotateright(p);
	}
	if (lean < -1) {
		if (height(p->right->right) < height(p->right->left))
			p->right = rotateright(p->right);
		return rotateleft(p);
	}
	return p;
}

tnode *insert(tnode *p, tnode *n)
{
	if (p == nullptr)
		return n;
	if (strcmp(n->word, p->word) < 0)
		p->left = insert(p->left, n);
	else
		p->right = insert(p->right, n);
	return balance(p);
}

} // namespace

tnode *addtree(tnode *root, const char *w)
{
	if (2 * (used + 1) > slotcount)
		grow();
	std::size_t len = strlen(w);
	std::uint64_t hash = wordhash(w, len, key);
	tnode **slot = slotfor(w, hash);
	if (*slot != nullptr) {
		(*slot)->count++;
		return root;
	}
	*slot = talloc(w, len, hash);
	used++;
	return insert(root, *slot);
}

void treeprint(const tnode *p)
{
	if (p == nullptr)
		return;
	treeprint(p->left);
	print("%4lld %s\n", p->count, p->word);
	treeprint(p->right);
}

} // namespace sitko
