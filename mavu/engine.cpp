#include "mavu/engine.h"

#include "mavu1/profile.h"
#include "mavu2/profile.h"

namespace mavu::engine {

double base_tolerance(Variant variant) {
  return variant == Variant::mavu1 ? Mavu1Profile::kText.check_tolerance : Mavu2Profile::kText.check_tolerance;
}

}  // namespace mavu::engine
