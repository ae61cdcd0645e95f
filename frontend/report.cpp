#include "frontend/report.h"

#include <cstdlib>

#include "core/ral.h"

float ticks_to_seconds(long ticks) { return static_cast<float>(ticks) / 1000000.0f; }

void print_final_set(const ProgramText& text, BestSet& best, FILE* out) {
  const int size = static_cast<int>(best.vertices.size());
  if (text.heading_with_size)
    std::fprintf(out, "Final result(size %d):\n", size);
  else
    std::fprintf(out, "Final solution:\n");
  std::qsort(best.vertices.data(), best.vertices.size(), sizeof(int), cmpfunc);
  for (int i = 0; i < size; i++) std::fprintf(out, "%d ", best.vertices[static_cast<size_t>(i)]);
  std::fprintf(out, "\n");
}

void report_result(const ProgramText& text, const RunParams& p, const BestSet& best, FILE* out,
                   const ReductionSummary* reduction) {
  std::fprintf(out, "\n");
  std::fprintf(out, "$seed=%d\n", p.para_seed);
  std::fprintf(out, "%s\n", text.solver_line);
  std::fprintf(out, "@para_file=%s\n", p.para_file);
  std::fprintf(out, "@para_depth=%d\n", p.para_depth);
  std::fprintf(out, "@para_direct_prob=%d\n", p.para_directed_prob);
  if (p.para_complement != 0) std::fprintf(out, "@para_complement=%d\n", p.para_complement);
  // -r as given; a reduction the size of the instance called for shows as 1.
  if (reduction)
    std::fprintf(out, "@para_reduce=%d\n", p.para_reduce == RunParams::kReduceAutomatic ? 1 : p.para_reduce);
  std::fprintf(out, text.objv_format, best.weight);
  std::fprintf(out, "#bestiter=%d\n", best.iteration);
  std::fprintf(out, "#besttime=%.3f\n", static_cast<double>(ticks_to_seconds(best.end_ticks - best.start_ticks)));
  if (reduction) {
    std::fprintf(out, "#kernel=%lld\n", reduction->kernel);
    std::fprintf(out, "#optimal=%d\n", reduction->optimal ? 1 : 0);
  }
}
