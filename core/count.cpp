#include "core/count.h"

namespace mavu::detail {

// Compiled for AVX-512, AVX2 and the baseline; the loader picks the widest
// the processor has when the program starts, so the default binary stays
// portable.  The 16-bit lane sums are emptied every 32768 values, before
// they could wrap.
__attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
int count_equal_u16(const uint16_t* x, int n, uint16_t key) {
  int total = 0;
  for (int base = 0; base < n; base += 32768) {
    const int end = n - base < 32768 ? n : base + 32768;
    uint16_t chunk = 0;
    for (int v = base; v < end; v++) chunk = static_cast<uint16_t>(chunk + (x[v] == key));
    total += chunk;
  }
  return total;
}

}  // namespace mavu::detail
