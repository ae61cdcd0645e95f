// The check of a solve's options against the option table (mavu/options.h).
#pragma once

#include <string>

#include "mavu/mavu.h"

namespace mavu::detail {

// Empty when every option lies in its range, else the message of the first
// that does not.
std::string check_options(const Options& o);

}  // namespace mavu::detail
