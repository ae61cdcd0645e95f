// Indexed vertex list: the member order after every operation decides which
// vertex a scan or a random position picks, so it is checked exactly.
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "support.h"

namespace {

// A long mixed sequence against a reference model of the order rules: append
// at the end; a removal moves the last member into the freed position.
TEST(Ral, MatchesReferenceModelOverAMixedSequence) {
  const int cap = 50;
  ST_RandAccessList* l = ral_init(cap);
  ASSERT_NE(l, nullptr);
  for (int v = 0; v < cap; v++) EXPECT_EQ(l->vpos[v], cap) << v;
  std::vector<int> model;
  unsigned s = 7;
  for (int step = 0; step < 5000; step++) {
    s = s * 1103515245u + 12345u;
    const int v = static_cast<int>((s >> 8) % cap);
    auto at = std::find(model.begin(), model.end(), v);
    if (at == model.end()) {
      ral_add(l, v);
      model.push_back(v);
    } else {
      ral_delete(l, v);
      *at = model.back();
      model.pop_back();
    }
    if (step % 97 == 0) ral_clear(l), model.clear();
    ASSERT_EQ(items(l), model) << "after step " << step;
    for (int p = 0; p < l->vnum; p++) ASSERT_EQ(l->vpos[l->vlist[p]], p) << "member " << l->vlist[p];
  }
  ral_release(l);
}

TEST(Ral, CmpfuncSortsAscendingIncludingTheExtremes) {
  // A plain difference would overflow on INT_MIN and INT_MAX and misorder them.
  std::vector<int> v = {7, INT_MAX, 2, -1, INT_MIN, 5, 0, 2};
  std::qsort(v.data(), v.size(), sizeof(int), cmpfunc);
  EXPECT_EQ(v, (std::vector<int>{INT_MIN, -1, 0, 2, 2, 5, 7, INT_MAX}));
}

}  // namespace
