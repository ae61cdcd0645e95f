#include "core/ral.h"

#include <cstdlib>

ST_RandAccessList* ral_init(int capacity) {
  auto* l = static_cast<ST_RandAccessList*>(std::malloc(sizeof(ST_RandAccessList)));
  if (!l) return nullptr;
  size_t cap = capacity > 0 ? static_cast<size_t>(capacity) : 1;
  l->vlist = static_cast<int*>(std::malloc(cap * sizeof(int)));
  l->vpos = static_cast<int*>(std::malloc(cap * sizeof(int)));
  l->vnum = 0;
  l->capacity = capacity;
  if (!l->vlist || !l->vpos) {
    ral_release(l);
    return nullptr;
  }
  for (int i = 0; i < capacity; i++) l->vpos[i] = capacity;
  return l;
}

void ral_release(ST_RandAccessList* l) {
  if (!l) return;
  if (l->vlist) std::free(l->vlist);
  if (l->vpos) std::free(l->vpos);
  std::free(l);
}

int cmpfunc(const void* a, const void* b) {
  // The sign of (first - second), computed without overflow for any ints.
  int x = *static_cast<const int*>(a), y = *static_cast<const int*>(b);
  return (x > y) - (x < y);
}

void ral_showList(const ST_RandAccessList* l, FILE* out) {
  std::fprintf(out, "Total %d: ", l->vnum);
  int* copy = static_cast<int*>(std::malloc((l->vnum > 0 ? l->vnum : 1) * sizeof(int)));
  if (copy) {
    for (int i = 0; i < l->vnum; i++) copy[i] = l->vlist[i];
    std::qsort(copy, l->vnum, sizeof(int), cmpfunc);
    for (int i = 0; i < l->vnum; i++) std::fprintf(out, "%d ", copy[i]);
    std::free(copy);
  }
  std::fprintf(out, "\n");
}
