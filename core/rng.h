// The one source of randomness: the C library's generator, seeded once.
// Users compare runs draw for draw, so every draw of the search goes through
// the generator object of the search state; tests substitute a scripted one.
#pragma once

#include <cstdlib>

struct CRand {
  void seed(unsigned s) { std::srand(s); }
  int operator()() { return std::rand(); }
};
