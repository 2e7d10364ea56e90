#include "dom/nodearena.h"

#include <algorithm>
#include <new>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#define ORVEL_NODE_BLOCKS_ALONE 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVEL_NODE_BLOCKS_ALONE 1
#endif
#endif

namespace {

#ifdef ORVEL_NODE_BLOCKS_ALONE
constexpr bool kBlocksAlone = true;
#else
constexpr bool kBlocksAlone = false;
#endif

thread_local NodeArena* t_scopeArena = nullptr;

constexpr std::size_t kFirstChunk = 4096;
constexpr std::size_t kLargestChunk = 64 * 1024;

// Before every block: its arena (none for a heap block) and its size class.
struct alignas(16) BlockHeader {
  NodeArena* arena;
  std::size_t sizeClass;
};

BlockHeader* headerOf(void* payload) { return static_cast<BlockHeader*>(payload) - 1; }

void* payloadOf(BlockHeader* header) { return header + 1; }

}  // namespace

struct alignas(16) NodeArena::Chunk {
  Chunk* next;
  std::size_t bytes;
};

NodeArena::Owned NodeArena::create() { return Owned(new NodeArena); }

NodeArena::~NodeArena() {
  while (m_chunks) ::operator delete(std::exchange(m_chunks, m_chunks->next));
}

void* NodeArena::allocateAlone(std::size_t size) {
  auto* header = static_cast<BlockHeader*>(::operator new(sizeof(BlockHeader) + size));
  *header = {nullptr, 0};
  return payloadOf(header);
}

void* NodeArena::allocateInScope(std::size_t size) {
  return t_scopeArena ? t_scopeArena->allocate(size) : allocateAlone(size);
}

NodeArena::Scope::Scope(NodeArena* arena) : m_previous(std::exchange(t_scopeArena, arena)) {}

NodeArena::Scope::~Scope() { t_scopeArena = m_previous; }

void* NodeArena::allocate(std::size_t size) {
  if (size > kLargestBlock) return allocateAlone(size);
  const std::size_t sizeClass = (size + kGranule - 1) / kGranule;
  BlockHeader* header;
  if (kBlocksAlone) {
    header = static_cast<BlockHeader*>(::operator new(sizeof(BlockHeader) + sizeClass * kGranule));
  } else if (FreeBlock* reused = m_free[sizeClass]) {
    m_free[sizeClass] = reused->next;
    header = headerOf(reused);
  } else {
    header = static_cast<BlockHeader*>(carve(sizeof(BlockHeader) + sizeClass * kGranule));
  }
  *header = {this, sizeClass};
  ++m_liveBlocks;
  return payloadOf(header);
}

void NodeArena::deallocate(void* block) noexcept {
  if (!block) return;
  BlockHeader* header = headerOf(block);
  if (!header->arena) return ::operator delete(header);
  header->arena->freeBlock(block, header->sizeClass);
}

void NodeArena::freeBlock(void* payload, std::size_t sizeClass) {
  if (kBlocksAlone) {
    ::operator delete(headerOf(payload));
  } else {
    auto* freed = static_cast<FreeBlock*>(payload);
    freed->next = m_free[sizeClass];
    m_free[sizeClass] = freed;
  }
  --m_liveBlocks;
  deleteIfUnused();
}

// A new chunk, twice the last up to the largest, when the newest is used up;
// the rest of the old one is left unused.
void* NodeArena::carve(std::size_t bytes) {
  if (static_cast<std::size_t>(m_end - m_cursor) < bytes) {
    const std::size_t last = m_chunks ? m_chunks->bytes : kFirstChunk / 2;
    const std::size_t chunkBytes = std::max(std::min(last * 2, kLargestChunk), sizeof(Chunk) + bytes);
    auto* chunk = static_cast<Chunk*>(::operator new(chunkBytes));
    *chunk = {m_chunks, chunkBytes};
    m_chunks = chunk;
    m_chunkBytes += chunkBytes;
    m_cursor = reinterpret_cast<char*>(chunk + 1);
    m_end = reinterpret_cast<char*>(chunk) + chunkBytes;
  }
  return std::exchange(m_cursor, m_cursor + bytes);
}

void NodeArena::dropOwner() {
  m_ownerHolds = false;
  deleteIfUnused();
}

void NodeArena::deleteIfUnused() {
  if (!m_ownerHolds && m_liveBlocks == 0) delete this;
}
