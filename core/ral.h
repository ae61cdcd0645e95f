// Indexed vertex list: a set of vertex numbers with O(1) append, O(1) removal
// of any member and direct access by position.
//
// The order of the members is part of the search's behaviour: members stand
// in the order they were added, except that a removal moves the last member
// into the freed position.  Scans and random draws by position depend on it,
// so a run repeats for a given seed only if every list follows these rules.
#pragma once

#include <cstdio>

struct ST_RandAccessList {
  int* vlist;    // members at positions 0 .. vnum-1; entries past vnum are stale
  int* vpos;     // vpos[v] = position of member v; meaningless for non-members
  int vnum;      // number of members
  int capacity;  // entries of both arrays; vertex numbers lie in 0 .. capacity-1
};

// Allocates a list of the given capacity; every vpos entry starts at
// `capacity`.  Returns nullptr when memory cannot be had.
ST_RandAccessList* ral_init(int capacity);

// Appends v (a non-member, in range, list not full).
inline void ral_add(ST_RandAccessList* l, int v) {
  l->vlist[l->vnum] = v;
  l->vpos[v] = l->vnum;
  l->vnum++;
}

// Removes member v: the last member takes v's position.
inline void ral_delete(ST_RandAccessList* l, int v) {
  int u = l->vlist[l->vnum - 1];
  int p = l->vpos[v];
  l->vlist[p] = u;
  l->vpos[u] = p;
  l->vnum--;
}

inline void ral_clear(ST_RandAccessList* l) { l->vnum = 0; }

void ral_release(ST_RandAccessList* l);

// Debugging aid: "Total <n>: " then the members in ascending order.
void ral_showList(const ST_RandAccessList* l, FILE* out);

// qsort comparator for ints, ascending.
int cmpfunc(const void* a, const void* b);
