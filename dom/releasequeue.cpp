#include "dom/releasequeue.h"

#include <utility>

#include "dom/node.h"

void ReleaseQueue::flush() {
  while (!m_nodes.empty()) {
    std::vector<Node*> nodes = std::exchange(m_nodes, {});
    for (Node* node : nodes) node->release();
  }
}
