// The extension behind the Python package mavu (python/mavu/__init__.py):
// graphs from files and from integer arrays, one solve call, the option
// table, a stop token, and the mapping of statuses to exceptions.
#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <climits>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "mavu/mavu.h"

namespace py = pybind11;

namespace {

// A failed status as the exception Python users expect for it.  (A file
// that cannot be opened is turned into the system's FileNotFoundError or
// PermissionError by the package, which asks the system why.)
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

using EdgeArray = py::array_t<long long, py::array::c_style | py::array::forcecast>;
using WeightArray = py::array_t<double, py::array::c_style | py::array::forcecast>;

// n vertices, an (m, 2) array of vertex numbers and n weights (or none).
// Vertex numbers that are no int become -1, which the library reports as
// outside the vertex range with the edge's position.
mavu::Graph graph_from_arrays(int n, const EdgeArray& edges, const std::optional<WeightArray>& weights,
                              bool independent_set) {
  if (edges.ndim() != 2 || edges.shape(1) != 2)
    raise(mavu::Status::invalid_input, "edges must be an (m, 2) array of vertex numbers");
  const size_t m = static_cast<size_t>(edges.shape(0));
  const long long* e = edges.data();
  std::span<const double> w;
  if (weights) {
    if (weights->ndim() != 1) raise(mavu::Status::invalid_input, "weights must be a one-dimensional sequence");
    w = std::span(weights->data(), static_cast<size_t>(weights->shape(0)));
  }
  py::gil_scoped_release release;
  std::vector<std::pair<int, int>> pairs(m);
  auto vertex = [](long long v) { return v >= 0 && v <= INT_MAX ? static_cast<int>(v) : -1; };
  for (size_t k = 0; k < m; k++) pairs[k] = {vertex(e[2 * k]), vertex(e[2 * k + 1])};
  return mavu::Graph::from_edges(n, pairs, w, independent_set);
}

// The latest progress of each seed's solve, handed from the solving threads
// to the thread that waits for them.
struct ProgressBox {
  std::mutex m;
  std::map<int, mavu::Progress> latest;
  bool fresh = false;
};

// Runs the solve in a worker thread without the GIL while this thread, every
// 100 ms, looks for signals and calls the progress callback: Python runs its
// signal handlers only in the main thread, between bytecodes, so a
// KeyboardInterrupt (or an exception of the callback) is raised here, after
// the search has been asked to stop and has returned.
mavu::Result solve_interruptibly(const mavu::Graph& g, mavu::Options o, mavu::StopToken* user_token,
                                 const py::object& progress) {
  mavu::StopToken own_token;
  mavu::StopToken& token = user_token ? *user_token : own_token;
  o.stop = &token;
  auto box = std::make_shared<ProgressBox>();
  if (!progress.is_none())
    o.progress = [box](const mavu::Progress& p) {
      std::lock_guard<std::mutex> lock(box->m);
      box->latest[p.seed] = p;
      box->fresh = true;
    };
  mavu::Result result;
  bool done = false;
  std::optional<py::error_already_set> error;
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
        if (!error && PyErr_CheckSignals() != 0) error.emplace();
        std::optional<mavu::Progress> report;
        {
          std::lock_guard<std::mutex> box_lock(box->m);
          if (box->fresh) {
            // Several seeds: their iterations together, the best weight and the longest time.
            mavu::Progress sum{0, 0, 0, 0};
            long long iterations = 0;
            for (const auto& [seed, p] : box->latest) {
              iterations += p.iterations;
              sum.best_weight = std::max(sum.best_weight, p.best_weight);
              sum.seconds = std::max(sum.seconds, p.seconds);
            }
            sum.iterations = static_cast<int>(std::min<long long>(iterations, INT_MAX));
            report = sum;
            box->fresh = false;
          }
        }
        if (report && !error) {
          try {
            progress(report->iterations, report->best_weight, report->seconds);
          } catch (py::error_already_set& e) {
            error.emplace(std::move(e));
          }
        }
        if (error) token.request_stop();
      }
      lock.lock();
    }
    lock.unlock();
    worker.join();
  }
  if (error) throw std::move(*error);
  if (!result.ok()) raise(result.status, result.message);
  return result;
}

py::tuple result_tuple(const mavu::Result& r) {
  py::list runs;
  for (const mavu::Result& run : r.runs) runs.append(result_tuple(run));
  return py::make_tuple(r.vertices, r.weight, r.best_iteration, r.best_time, r.iterations,
                        mavu::to_string(r.stopped), r.seed, runs, r.kernel_vertices, r.proven_optimal);
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
          "from_arrays",
          [](int n, const EdgeArray& edges, const std::optional<WeightArray>& weights, bool independent_set) {
            return checked(graph_from_arrays(n, edges, weights, independent_set));
          },
          py::arg("n"), py::arg("edges"), py::arg("weights"), py::arg("independent_set"))
      .def_property_readonly("vertex_count", &mavu::Graph::vertex_count);

  py::class_<mavu::StopToken, std::shared_ptr<mavu::StopToken>>(
      m, "StopToken", "Asks the solves given it to stop and return their best set so far; callable from any thread.")
      .def(py::init<>())
      .def("request_stop", &mavu::StopToken::request_stop)
      .def("reset", &mavu::StopToken::reset)
      .def_property_readonly("stop_requested", &mavu::StopToken::stop_requested);

  // The option table (mavu/options.h), for the package's defaults and checks.
  py::list table;
  for (const mavu::OptionSpec& o : mavu::kOptionTable) {
    py::dict d;
    d["name"] = o.name;
    d["letter"] = o.letter ? std::string(1, o.letter) : std::string();
    d["default"] = o.default_value;
    d["min"] = o.min;
    d["max"] = o.max;
    d["default_text"] = o.default_text;
    d["range_text"] = o.range_text;
    d["meaning"] = o.meaning;
    table.append(d);
  }
  m.attr("OPTIONS") = table;
  m.attr("NO_ITERATION_LIMIT") = mavu::kNoIterationLimit;
  m.def(
      "check_option",
      [](const std::string& name, double value) {
        for (const mavu::OptionSpec& o : mavu::kOptionTable)
          if (name == o.name) return mavu::check_option(o.id, value);
        return "unknown option " + name;
      },
      py::arg("name"), py::arg("value"));

  m.def(
      "solve",
      [](const mavu::Graph& g, const std::string& program, int seed, const std::vector<int>& seeds, int threads,
         double time_limit, double wall_time_limit, int max_iterations, double target, int depth,
         int directed_percent, bool independent_set, std::shared_ptr<mavu::StopToken> stop,
         const py::object& progress, int reduce) {
        mavu::Options o;
        if (program == "mavu1")
          o.program = mavu::Program::mavu1;
        else if (program == "mavu2")
          o.program = mavu::Program::mavu2;
        else
          raise(mavu::Status::invalid_options, "program must be \"mavu1\" or \"mavu2\", not \"" + program + "\"");
        o.seed = seed;
        o.seeds = seeds;
        o.threads = threads;
        o.time_limit = time_limit;
        o.wall_time_limit = wall_time_limit;
        o.max_iterations = max_iterations;
        o.target = target;
        o.depth = depth;
        o.directed_percent = directed_percent;
        o.independent_set = independent_set;
        o.reduce = reduce < 0 ? mavu::Reduce::automatic : reduce ? mavu::Reduce::on : mavu::Reduce::off;
        return result_tuple(solve_interruptibly(g, o, stop.get(), progress));
      },
      py::arg("graph"), py::arg("program"), py::arg("seed"), py::arg("seeds"), py::arg("threads"),
      py::arg("time_limit"), py::arg("wall_time_limit"), py::arg("max_iterations"), py::arg("target"),
      py::arg("depth"), py::arg("directed_percent"), py::arg("independent_set"), py::arg("stop"),
      py::arg("progress"), py::arg("reduce") = -1);
}
