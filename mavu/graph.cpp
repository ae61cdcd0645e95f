// The Graph constructors: instance files and edge lists.
#include <algorithm>
#include <cmath>
#include <new>

#include "mavu/graph_data.h"
#include "mavu/mavu.h"

namespace mavu {

using detail::format;

namespace {

Graph failed_graph(Status status, std::string message) {
  return detail::GraphAccess::make(nullptr, status, std::move(message));
}

Graph built_graph(std::shared_ptr<const detail::GraphData> data) {
  return detail::GraphAccess::make(std::move(data), Status::ok, {});
}

}  // namespace

Graph::Graph() : status_(Status::invalid_input), message_("no graph") {}

namespace {

Graph read_file(const std::string& path, bool independent_set) {
  auto data = std::make_shared<detail::GraphData>();
  LoadOptions options;
  if (independent_set) options.mode = InstanceMode::independent_set;
  // A clique file that solves reduce by default is read as its input graph,
  // which is the conflict graph of the independent-set mode.
  options.clique_read = CliqueRead::input_graph_if_reduced;
  LoadResult loaded = load_graph(path.c_str(), data->primary, options);
  data->primary_independent = independent_set || data->primary.input_graph;
  switch (loaded.status) {
    case LoadStatus::ok: break;
    case LoadStatus::cannot_open: return failed_graph(Status::cannot_open, std::move(loaded.message));
    case LoadStatus::invalid: return failed_graph(Status::invalid_input, std::move(loaded.message));
    case LoadStatus::out_of_memory: return failed_graph(Status::out_of_memory, std::move(loaded.message));
  }
  data->n = data->searched = visit_layout(data->primary, [](const auto& g) { return g.n_vertex; });
  return built_graph(std::move(data));
}

// The pairs of an independent-set graph straight into the compressed layout
// (the programs' -c 1 path for sparse graphs), without a bit matrix.
template <class V>
Graph sparse_independent(std::shared_ptr<detail::GraphData> data, SparseConflictGraph<V>& g, int n,
                         std::span<const std::pair<int, int>> edges, const double* weights,
                         const std::vector<long long>& edge_of) {
  HeapArray<ConflictPair> pairs;
  if (!pairs.alloc(edges.size(), false)) return failed_graph(Status::out_of_memory, "cannot allocate memory for the graph");
  for (size_t k = 0; k < edges.size(); k++)
    pairs[k] = {static_cast<uint32_t>(edges[k].first), static_cast<uint32_t>(edges[k].second)};
  const long long r = sparse_from_pairs(g, n, pairs.data(), static_cast<long long>(edges.size()), weights);
  if (r < 0) return failed_graph(Status::out_of_memory, "cannot allocate memory for the graph");
  if (r > 0)
    return failed_graph(Status::invalid_input,
                        format("edge %lld repeats an earlier edge", edge_of.empty() ? r - 1 : edge_of[r - 1]));
  return built_graph(std::move(data));
}

Graph read_edges(int n, std::span<const std::pair<int, int>> edges, std::span<const double> weights,
                 bool independent_set) {
  const long long max_n = kMaxVerticesSparse;
  if (n < 0 || n > max_n)
    return failed_graph(Status::invalid_input, format("the vertex count %lld is not between 0 and %lld", n, max_n));
  if (!weights.empty() && weights.size() != static_cast<size_t>(n))
    return failed_graph(Status::invalid_input,
                        format("%lld weights for %lld vertices", static_cast<long long>(weights.size()), n));
  double total = 0;
  for (size_t v = 0; v < weights.size(); v++) {
    if (!std::isfinite(weights[v]))
      return failed_graph(Status::invalid_input,
                          format("the weight of vertex %lld is not a finite number", static_cast<long long>(v)));
    if (weights[v] < 0)
      return failed_graph(Status::invalid_input, format("the weight of vertex %lld is negative", static_cast<long long>(v)));
    total += weights[v];
  }
  if (!std::isfinite(total))
    return failed_graph(Status::invalid_input, "the vertex weights add up to more than a double can hold");
  for (size_t k = 0; k < edges.size(); k++) {
    const auto [x, y] = edges[k];
    if (x < 0 || x >= n || y < 0 || y >= n)
      return failed_graph(Status::invalid_input,
                          format("edge %lld has a vertex outside 0 .. %lld", static_cast<long long>(k), n - 1LL));
    if (x == y)
      return failed_graph(Status::invalid_input, format("edge %lld is a loop on vertex %lld", static_cast<long long>(k), x));
  }

  // Both modes hold the edges as given: the conflicts of independent sets,
  // or the input graph of cliques as lists (what the reduction reads; a
  // clique solve without reduction builds the complement when it asks).
  auto data = std::make_shared<detail::GraphData>();
  data->n = n;
  data->primary_independent = true;
  data->independent_set_only = independent_set;
  // Without weights every vertex weighs 1 (the files' default weights belong to the files).
  std::vector<double> ones;
  if (weights.empty()) {
    ones.assign(static_cast<size_t>(n), 1.0);
    weights = ones;
  }
  // Zero-weight vertices are left out of the search (their edges with them).
  std::vector<std::pair<int, int>> kept_edges;
  std::vector<double> kept_weights;
  std::vector<long long> edge_of;  // position of a kept edge among the caller's
  if (std::find(weights.begin(), weights.end(), 0.0) != weights.end()) {
    std::vector<int> number(static_cast<size_t>(n), -1);
    for (int v = 0; v < n; v++)
      if (weights[static_cast<size_t>(v)] > 0) {
        number[static_cast<size_t>(v)] = static_cast<int>(data->original.size());
        data->original.push_back(v);
        kept_weights.push_back(weights[static_cast<size_t>(v)]);
      }
    for (size_t k = 0; k < edges.size(); k++) {
      const int x = number[static_cast<size_t>(edges[k].first)], y = number[static_cast<size_t>(edges[k].second)];
      if (x >= 0 && y >= 0) kept_edges.push_back({x, y}), edge_of.push_back(static_cast<long long>(k));
    }
    data->weights.assign(weights.begin(), weights.end());
    if (data->original.empty()) data->original.push_back(-1);  // none searched; the mapping is not the identity
    edges = kept_edges;
    weights = kept_weights;
  }
  const int searched = data->searched = static_cast<int>(weights.size());
  if (searched == 0) return built_graph(std::move(data));
  auto edge_position = [&](size_t k) { return static_cast<long long>(edge_of.empty() ? k : edge_of[k]); };

  LoadedGraph& g = data->primary;
  // A clique graph is kept as its edge lists (the reduction reads them);
  // a conflict graph in the layout the programs would choose.
  g.input_graph = !independent_set;
  g.layout = choose_layout(searched, static_cast<long long>(edges.size()),
                           independent_set ? LayoutRequest::automatic : LayoutRequest::sparse);
  if (g.layout == GraphLayout::sparse16)
    return sparse_independent(data, g.sparse16, searched, edges, weights.data(), edge_of);
  if (g.layout == GraphLayout::sparse32)
    return sparse_independent(data, g.sparse32, searched, edges, weights.data(), edge_of);
  DenseGraphBuilder<InstanceMode::independent_set> b(g.dense);
  if (!b.begin(searched, static_cast<long long>(edges.size())))
    return failed_graph(Status::out_of_memory, "cannot allocate memory for the graph");
  for (int v = 0; v < searched; v++) b.set_weight(v, weights[static_cast<size_t>(v)]);
  for (size_t k = 0; k < edges.size(); k++)
    if (!b.add_edge(edges[k].first, edges[k].second))
      return failed_graph(Status::invalid_input, format("edge %lld repeats an earlier edge", edge_position(k)));
  if (!b.finish()) return failed_graph(Status::out_of_memory, "cannot allocate memory for the graph");
  return built_graph(data);
}

}  // namespace

// The containers of the library report a lack of memory by std::bad_alloc;
// the public entry points turn it into a status, so nothing is thrown past
// the API.
Graph Graph::from_file(const std::string& path, bool independent_set) {
  try {
    return read_file(path, independent_set);
  } catch (const std::bad_alloc&) {
    return failed_graph(Status::out_of_memory, path + ": cannot allocate memory to read the instance");
  }
}

Graph Graph::from_edges(int n, std::span<const std::pair<int, int>> edges, std::span<const double> weights,
                        bool independent_set) {
  try {
    return read_edges(n, edges, weights, independent_set);
  } catch (const std::bad_alloc&) {
    return failed_graph(Status::out_of_memory, "cannot allocate memory for the graph");
  }
}

int Graph::vertex_count() const { return data_ ? data_->n : 0; }

double Graph::weight(int v) const {
  return data_ && v >= 0 && v < data_->n ? data_->weight(v) : std::numeric_limits<double>::quiet_NaN();
}

}  // namespace mavu
