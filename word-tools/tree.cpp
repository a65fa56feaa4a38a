// An AVL tree: sorted input would turn a plain search tree into a list, with
// quadratic time and recursion as deep as the number of words.  Here the
// height stays below 1.45 log2(n), and so does the recursion.
#include "tree.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "finish.hpp"

namespace sitko {

struct tnode {
	tnode *left;
	tnode *right;
	long long count;
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

void *store(std::size_t n)
{
	n = (n + alignof(tnode) - 1) & ~(alignof(tnode) - 1);
	if (n > storeleft) {
		std::size_t size = n + sizeof(storeblock) > STORE_BLOCK ? n + sizeof(storeblock)
		                                                         : STORE_BLOCK;
		auto *block = static_cast<storeblock *>(malloc(size));
		if (block == nullptr) {
			// Without room for the word the report would be wrong; say
			// so through the status rather than print a short count.
			exit(finish(1));
		}
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

tnode *talloc(const char *word)
{
	std::size_t len = strlen(word);
	auto *p = static_cast<tnode *>(store(sizeof(tnode) + len + 1));
	p->word = reinterpret_cast<char *>(p + 1);
	p->left = p->right = nullptr;
	p->count = 1;
	p->height = 1;
	memcpy(p->word, word, len + 1);
	return p;
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

} // namespace

tnode *addtree(tnode *p, const char *w)
{
	if (p == nullptr)
		return talloc(w);
	int cond = strcmp(w, p->word);
	if (cond == 0) {
		p->count++;
		return p;
	}
	if (cond < 0)
		p->left = addtree(p->left, w);
	else
		p->right = addtree(p->right, w);
	return balance(p);
}

void treeprint(const tnode *p)
{
	if (p == nullptr)
		return;
	treeprint(p->left);
	printf("%4lld %s\n", p->count, p->word);
	treeprint(p->right);
}

} // namespace sitko
