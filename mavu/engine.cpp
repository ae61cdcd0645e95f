#include "mavu/engine.h"

#include "mavu/variants.h"

namespace mavu::engine {

double base_tolerance(Variant variant) {
  return variant == Variant::mavu1 ? Mavu1Profile::kCheckTolerance : Mavu2Profile::kCheckTolerance;
}

}  // namespace mavu::engine
