// Indexed vertex list: the member order after every operation decides which
// vertex a scan or a random position picks, so it is checked exactly.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/ral.h"

namespace {

std::vector<int> members(const ST_RandAccessList* l) { return std::vector<int>(l->vlist, l->vlist + l->vnum); }

// Every member's recorded position points back at it.
void expect_positions_consistent(const ST_RandAccessList* l) {
  for (int p = 0; p < l->vnum; p++) EXPECT_EQ(l->vpos[l->vlist[p]], p) << "member " << l->vlist[p];
}

std::string show(const ST_RandAccessList* l) {
  FILE* f = std::tmpfile();
  if (!f) return "<tmpfile failed>";
  ral_showList(l, f);
  std::string out;
  std::rewind(f);
  for (int c; (c = std::fgetc(f)) != EOF;) out.push_back(static_cast<char>(c));
  std::fclose(f);
  return out;
}

struct ListFixture : testing::Test {
  ST_RandAccessList* l = nullptr;
  void make(int capacity) {
    l = ral_init(capacity);
    ASSERT_NE(l, nullptr);
  }
  void TearDown() override { ral_release(l); }
};

using RalOrder = ListFixture;

TEST_F(RalOrder, NewListIsEmptyWithEveryPositionAtCapacity) {
  make(5);
  EXPECT_EQ(l->vnum, 0);
  EXPECT_EQ(l->capacity, 5);
  for (int v = 0; v < 5; v++) EXPECT_EQ(l->vpos[v], 5) << v;
}

TEST_F(RalOrder, AddAppendsInOrder) {
  make(5);
  ral_add(l, 4);
  ral_add(l, 1);
  ral_add(l, 3);
  EXPECT_EQ(members(l), (std::vector<int>{4, 1, 3}));
  EXPECT_EQ(l->vpos[4], 0);
  EXPECT_EQ(l->vpos[1], 1);
  EXPECT_EQ(l->vpos[3], 2);
  EXPECT_EQ(l->vpos[0], 5);  // never added
}

TEST_F(RalOrder, DeleteMovesLastMemberIntoTheGap) {
  make(5);
  for (int v : {4, 1, 3}) ral_add(l, v);
  ral_delete(l, 4);
  EXPECT_EQ(members(l), (std::vector<int>{3, 1}));
  EXPECT_EQ(l->vpos[3], 0);
  EXPECT_EQ(l->vpos[1], 1);
  EXPECT_EQ(l->vpos[4], 0);  // stale: the position it had when removed
}

TEST_F(RalOrder, DeletingTheLastMemberChangesNoPosition) {
  make(5);
  for (int v : {4, 1, 3}) ral_add(l, v);
  ral_delete(l, 3);
  EXPECT_EQ(members(l), (std::vector<int>{4, 1}));
  EXPECT_EQ(l->vpos[4], 0);
  EXPECT_EQ(l->vpos[1], 1);
  EXPECT_EQ(l->vpos[3], 2);
  EXPECT_EQ(l->vlist[2], 3);  // stale entry left in place
}

TEST_F(RalOrder, DeleteFromTheMiddleKeepsTheOthersInPlace) {
  make(8);
  for (int v : {0, 2, 4, 6, 7}) ral_add(l, v);
  ral_delete(l, 4);
  EXPECT_EQ(members(l), (std::vector<int>{0, 2, 7, 6}));
  ral_delete(l, 0);
  EXPECT_EQ(members(l), (std::vector<int>{6, 2, 7}));
  expect_positions_consistent(l);
}

TEST_F(RalOrder, ClearThenAddStartsAtPositionZero) {
  make(5);
  for (int v : {4, 1, 3}) ral_add(l, v);
  ral_clear(l);
  EXPECT_EQ(l->vnum, 0);
  ral_add(l, 2);
  EXPECT_EQ(l->vnum, 1);
  EXPECT_EQ(l->vlist[0], 2);
  EXPECT_EQ(l->vpos[2], 0);
}

// A long mixed sequence against a reference model of the same order rules.
TEST_F(RalOrder, MatchesReferenceModelOverAMixedSequence) {
  const int cap = 50;
  make(cap);
  std::vector<int> model;
  std::vector<bool> in(cap, false);
  unsigned s = 7;
  for (int step = 0; step < 5000; step++) {
    s = s * 1103515245u + 12345u;
    int v = static_cast<int>((s >> 8) % cap);
    if (!in[v]) {
      ral_add(l, v);
      model.push_back(v);
    } else {
      ral_delete(l, v);
      for (size_t p = 0; p < model.size(); p++)
        if (model[p] == v) {
          model[p] = model.back();
          break;
        }
      model.pop_back();
    }
    in[v] = !in[v];
    if (step % 97 == 0) {  // an occasional clear
      ral_clear(l);
      model.clear();
      in.assign(cap, false);
    }
    ASSERT_EQ(members(l), model) << "after step " << step;
  }
  expect_positions_consistent(l);
}

using RalShow = ListFixture;

TEST_F(RalShow, PrintsCountThenMembersAscending) {
  make(10);
  for (int v : {9, 0, 4}) ral_add(l, v);
  EXPECT_EQ(show(l), "Total 3: 0 4 9 \n");
  EXPECT_EQ(members(l), (std::vector<int>{9, 0, 4}));  // the list itself is not reordered
}

TEST_F(RalShow, EmptyListPrintsHeadingAndNewline) {
  make(3);
  EXPECT_EQ(show(l), "Total 0: \n");
}

TEST(RalCmpfunc, SignGivesAscendingOrder) {
  int a = 3, b = 7;
  EXPECT_LT(cmpfunc(&a, &b), 0);
  EXPECT_GT(cmpfunc(&b, &a), 0);
  EXPECT_EQ(cmpfunc(&a, &a), 0);
}

TEST(RalCmpfunc, SortsWithQsortIncludingExtremes) {
  // INT_MIN and INT_MAX: a plain difference would overflow and misorder them.
  std::vector<int> v = {7, INT_MAX, 2, -1, INT_MIN, 5, 0, 2};
  std::qsort(v.data(), v.size(), sizeof(int), cmpfunc);
  EXPECT_EQ(v, (std::vector<int>{INT_MIN, -1, 0, 2, 2, 5, 7, INT_MAX}));
}

}  // namespace
