// Counting equal 16-bit values, the one vector loop of the search: the
// histogram bin a tenure draw needs (state.h, num_v_adj).
#pragma once

#include <cstdint>

namespace mavu::detail {

// Number of i in [0, n) with x[i] == key.
__attribute__((visibility("hidden"))) int count_equal_u16(const uint16_t* x, int n, uint16_t key);

}  // namespace mavu::detail
