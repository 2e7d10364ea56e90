#pragma once
// The storage of one document's nodes. A skin is built as tens of thousands
// of small nodes and dropped whole when another replaces it, so a document
// carves its nodes out of a few large chunks instead of asking the heap for
// each: making a node costs a pointer bump, and a dropped skin gives back a
// handful of chunks rather than leaving the heap to merge every small block.
// A node freed while the document lives leaves its block to the next node of
// that size.
//
// The arena lives while its document or any block carved from it does: a node
// that outlives its document keeps the chunks alive. Every block starts with
// a header naming its arena (none for a block taken from the heap alone), so
// freeing a node needs no document.
//
// What a skin element makes for itself (its style values, its painter) is
// carved from the arena too, while a Scope names the arena on the thread;
// those classes take their blocks with allocateInScope, which answers a heap
// block when no scope is open.
//
// Built with AddressSanitizer, every block is a heap allocation of its own, so
// that a use after free or a leaked node is reported node by node.

#include <cstddef>
#include <memory>

class NodeArena {
 public:
  static constexpr std::size_t kLargestBlock = 1024;  // larger nodes come from the heap

  NodeArena(const NodeArena&) = delete;
  NodeArena& operator=(const NodeArena&) = delete;

  // The owner's hold: the arena goes when it is dropped and no block is left.
  struct OwnerRelease {
    void operator()(NodeArena* arena) const { arena->dropOwner(); }
  };
  using Owned = std::unique_ptr<NodeArena, OwnerRelease>;
  static Owned create();

  // A block of `size` bytes, aligned for any node.
  void* allocate(std::size_t size);
  // A block from the heap that belongs to no arena.
  static void* allocateAlone(std::size_t size);
  // A block from the arena of the innermost open Scope, else from the heap.
  static void* allocateInScope(std::size_t size);
  // Frees a block of either kind.
  static void deallocate(void* block) noexcept;

  // Names the arena allocateInScope carves from on this thread (none: the
  // heap) until it is closed; scopes nest.
  class Scope {
   public:
    explicit Scope(NodeArena* arena);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    NodeArena* m_previous;
  };

  // Blocks carved and not yet freed, and the bytes of chunks held.
  std::size_t liveBlocks() const { return m_liveBlocks; }
  std::size_t chunkBytes() const { return m_chunkBytes; }

 private:
  struct Chunk;
  struct FreeBlock {
    FreeBlock* next;
  };
  static constexpr std::size_t kGranule = 16;
  static constexpr std::size_t kClasses = kLargestBlock / kGranule + 1;

  NodeArena() = default;
  ~NodeArena();

  void dropOwner();
  void freeBlock(void* payload, std::size_t sizeClass);
  void* carve(std::size_t bytes);
  void deleteIfUnused();

  FreeBlock* m_free[kClasses] = {};
  Chunk* m_chunks = nullptr;  // owned, through the chunks' links
  char* m_cursor = nullptr;   // the unused rest of the newest chunk
  char* m_end = nullptr;
  std::size_t m_chunkBytes = 0;
  std::size_t m_liveBlocks = 0;
  bool m_ownerHolds = true;
};

// A standard allocator over allocateInScope, for the containers inside objects
// that carve from the current arena.
template <typename T>
struct ScopedArenaAllocator {
  using value_type = T;
  ScopedArenaAllocator() = default;
  template <typename U>
  ScopedArenaAllocator(const ScopedArenaAllocator<U>&) {}
  T* allocate(std::size_t count) { return static_cast<T*>(NodeArena::allocateInScope(count * sizeof(T))); }
  void deallocate(T* block, std::size_t) { NodeArena::deallocate(block); }
  friend bool operator==(const ScopedArenaAllocator&, const ScopedArenaAllocator&) { return true; }
};
