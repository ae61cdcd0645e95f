#include "mavu/reduce/kernel.h"

namespace mavu::reduce {

std::vector<int> lift_by_map(const Reduced& r, const std::vector<std::vector<int>>& part_sets) {
  std::vector<int> set;
  for (size_t p = 0; p < part_sets.size() && p < r.parts.size(); p++)
    for (int v : part_sets[p]) set.push_back(r.parts[p]->original[static_cast<size_t>(v)]);
  set.insert(set.end(), r.decided.begin(), r.decided.end());
  return set;
}

}  // namespace mavu::reduce
