// The options' ranges: check_option of the public API and the check of a
// solve's Options.
#include "mavu/check_options.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace mavu {

std::string check_option(OptionId option, double value) {
  const OptionSpec& o = option_spec(option);
  if (value >= o.min && value <= o.max) return {};
  char text[64];
  if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e18)
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
  else
    std::snprintf(text, sizeof text, "%g", value);
  return std::string(o.name) + " = " + text + " is outside its range " + o.range_text;
}

namespace detail {

std::string check_options(const Options& o) {
  const std::pair<OptionId, double> values[] = {
      {OptionId::seed, o.seed},
      {OptionId::max_iterations, o.max_iterations},
      {OptionId::time_limit, o.time_limit},
      {OptionId::wall_time_limit, o.wall_time_limit},
      {OptionId::target, o.target},
      {OptionId::depth, o.depth},
      {OptionId::directed_percent, o.directed_percent},
      {OptionId::threads, o.threads},
  };
  for (const auto& [id, value] : values)
    if (std::string m = check_option(id, value); !m.empty()) return m;
  if (o.program != Program::mavu1 && o.program != Program::mavu2)
    return std::string("program is outside its range ") + option_spec(OptionId::program).range_text;
  return {};
}

}  // namespace detail

}  // namespace mavu
