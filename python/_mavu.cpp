// The extension behind the Python package mavu (python/mavu/__init__.py):
// graphs, one solve call, and the mapping of statuses to exceptions.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "mavu/mavu.h"

namespace py = pybind11;

namespace {

// A failed status as the exception Python users expect for it.
[[noreturn]] void raise(mavu::Status status, const std::string& message) {
  switch (status) {
    case mavu::Status::cannot_open: PyErr_SetString(PyExc_OSError, message.c_str()); break;
    case mavu::Status::out_of_memory: PyErr_SetString(PyExc_MemoryError, message.c_str()); break;
    case mavu::Status::check_failed: PyErr_SetString(PyExc_RuntimeError, message.c_str()); break;
    default: PyErr_SetString(PyExc_ValueError, message.c_str()); break;
  }
  throw py::error_already_set();
}

mavu::Graph checked(mavu::Graph g) {
  if (!g.ok()) raise(g.status(), g.message());
  return g;
}

// Runs the solve in a worker thread without the GIL while this thread looks
// for signals every 100 ms: Python runs its signal handlers only in the main
// thread, between bytecodes, so a KeyboardInterrupt is raised here, after the
// search has been asked to stop and has returned.
mavu::Result solve_interruptibly(const mavu::Graph& g, mavu::Options o) {
  mavu::StopToken token;
  o.stop = &token;
  mavu::Result result;
  bool done = false, interrupted = false;
  std::mutex m;
  std::condition_variable cv;
  {
    py::gil_scoped_release release;
    std::thread worker([&] {
      mavu::Result r = mavu::solve(g, o);
      std::lock_guard<std::mutex> lock(m);
      result = std::move(r);
      done = true;
      cv.notify_one();
    });
    std::unique_lock<std::mutex> lock(m);
    while (!done) {
      if (cv.wait_for(lock, std::chrono::milliseconds(100), [&] { return done; })) break;
      lock.unlock();
      {
        py::gil_scoped_acquire acquire;
        if (!interrupted && PyErr_CheckSignals() != 0) {
          interrupted = true;
          token.request_stop();
        }
      }
      lock.lock();
    }
    lock.unlock();
    worker.join();
  }
  if (interrupted) throw py::error_already_set();
  if (!result.ok()) raise(result.status, result.message);
  return result;
}

}  // namespace

PYBIND11_MODULE(_mavu, m) {
  m.doc() = "Extension of the mavu package; use mavu.max_weight_clique and mavu.max_weight_independent_set.";
  m.attr("__version__") = MAVU_VERSION_STRING;  // the library's, so the package cannot disagree with it

  py::class_<mavu::Graph>(m, "Graph")
      .def_static(
          "from_file",
          [](const std::string& path, bool independent_set) {
            mavu::Graph g;
            {
              py::gil_scoped_release release;
              g = mavu::Graph::from_file(path, independent_set);
            }
            return checked(std::move(g));
          },
          py::arg("path"), py::arg("independent_set") = false)
      .def_static(
          "from_edges",
          [](int n, const std::vector<std::pair<int, int>>& edges, const std::vector<double>& weights) {
            return checked(mavu::Graph::from_edges(n, edges, weights));
          },
          py::arg("n"), py::arg("edges"), py::arg("weights"))
      .def_property_readonly("vertex_count", &mavu::Graph::vertex_count);

  m.def(
      "solve",
      [](const mavu::Graph& g, const std::string& program, int seed, double time_limit, int max_iterations,
         double target, int depth, int directed_percent, bool independent_set, int reduce) {
        mavu::Options o;
        if (program == "mavu1")
          o.program = mavu::Program::mavu1;
        else if (program == "mavu2")
          o.program = mavu::Program::mavu2;
        else
          raise(mavu::Status::invalid_options, "program must be \"mavu1\" or \"mavu2\", not \"" + program + "\"");
        o.seed = seed;
        o.time_limit = time_limit;
        o.max_iterations = max_iterations;
        o.target = target;
        o.depth = depth;
        o.directed_percent = directed_percent;
        o.independent_set = independent_set;
        o.reduce = reduce < 0 ? mavu::Reduce::automatic : reduce ? mavu::Reduce::on : mavu::Reduce::off;
        mavu::Result r = solve_interruptibly(g, o);
        return py::make_tuple(r.vertices, r.weight, r.best_iteration, r.best_time, r.kernel_vertices,
                              r.proven_optimal);
      },
      py::arg("graph"), py::arg("program"), py::arg("seed"), py::arg("time_limit"), py::arg("max_iterations"),
      py::arg("target"), py::arg("depth"), py::arg("directed_percent"), py::arg("independent_set"),
      py::arg("reduce") = -1);
}
