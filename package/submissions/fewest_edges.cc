// Wrong answer: a breadth-first search finds the paths of fewest edges, which
// are not the lightest ones once the weights differ.
#include <iostream>
#include <queue>
#include <vector>

int main() {
  std::ios::sync_with_stdio(false);
  int n = 0, m = 0, s = 0;
  std::cin >> n >> m;
  std::vector<std::vector<int>> adj(n + 1);
  for (int i = 0; i < m; ++i) {
    int u = 0, v = 0, w = 0;
    std::cin >> u >> v >> w;
    adj[u].push_back(v);
    adj[v].push_back(u);
  }
  std::cin >> s;
  std::vector<int> parent(n + 1, -1);
  std::queue<int> queue;
  parent[s] = s;
  queue.push(s);
  while (!queue.empty()) {
    int u = queue.front();
    queue.pop();
    for (int v : adj[u]) {
      if (parent[v] < 0) {
        parent[v] = u;
        queue.push(v);
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
