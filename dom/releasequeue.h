#pragma once
// The references of nodes taken out of a document's tree. They are kept until
// the document is destroyed or asked to flush, so a caller may go on using a
// node it removed without taking a reference of its own.

#include <cstddef>
#include <vector>

class Node;

class ReleaseQueue {
 public:
  ReleaseQueue() = default;
  ReleaseQueue(const ReleaseQueue&) = delete;
  ReleaseQueue& operator=(const ReleaseQueue&) = delete;
  ~ReleaseQueue() { flush(); }

  // Takes over one reference to `node`.
  void push(Node* node) { m_nodes.push_back(node); }
  // Releases the entries in order, including any queued while flushing.
  void flush();
  std::size_t size() const { return m_nodes.size(); }

 private:
  std::vector<Node*> m_nodes;
};
