// Accepted: Dijkstra's algorithm from the source, then each path written from
// the parents, the source left out but on line s, which holds it alone.
#include <cstdint>
#include <functional>
#include <iostream>
#include <queue>
#include <utility>
#include <vector>

int main() {
  std::ios::sync_with_stdio(false);
  int n = 0, m = 0, s = 0;
  std::cin >> n >> m;
  std::vector<std::vector<std::pair<int, int64_t>>> adj(n + 1);
  for (int i = 0; i < m; ++i) {
    int u = 0, v = 0;
    int64_t w = 0;
    std::cin >> u >> v >> w;
    adj[u].push_back({v, w});
    adj[v].push_back({u, w});
  }
  std::cin >> s;
  const int64_t kFar = INT64_MAX;
  std::vector<int64_t> dist(n + 1, kFar);
  std::vector<int> parent(n + 1, 0);
  using Item = std::pair<int64_t, int>;
  std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue;
  dist[s] = 0;
  queue.push({0, s});
  while (!queue.empty()) {
    auto [d, u] = queue.top();
    queue.pop();
    if (d != dist[u]) continue;
    for (auto [v, w] : adj[u]) {
      if (d + w < dist[v]) {
        dist[v] = d + w;
        parent[v] = u;
        queue.push({dist[v], v});
      }
    }
  }
  for (int k = 1; k <= n; ++k) {
    std::vector<int> path;
    for (int v = k; v != s; v = parent[v]) path.push_back(v);
    if (k == s) path.push_back(s);  // a line never left empty: it would repeat the last id
    for (size_t i = path.size(); i-- > 0;) std::cout << path[i] << (i == 0 ? "" : " ");
    std::cout << '\n';
  }
}
