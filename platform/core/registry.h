#pragma once
// The device's registry store: the tree of keys and values, kept in one
// readable text file of the device (".orvel/registry.txt").
//
// Every change is on disk before the call that made it returns: the whole
// file is written to a temporary file, flushed and renamed over the old one,
// so a process killed at any moment leaves the old or the new registry. All
// processes of a device take one lock file around every change and every
// reload, and reload the tree when another process changed it. A file that cannot be read is
// moved aside (never deleted), a warning goes to standard error, and the
// device goes on with a fresh seeded registry.
//
// The Reg* calls of winreg.h are the interface the system uses; this store
// is for them, the device tool and tests.

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/wintypes.h"

struct RegValue {
  std::u16string name;  // empty: the key's default value
  DWORD type = 0;
  std::vector<BYTE> data;
};

struct RegKey {
  std::u16string name;
  std::u16string className;
  std::vector<RegValue> values;                  // in the order they were first set
  std::vector<std::unique_ptr<RegKey>> subkeys;  // sorted by name ignoring case

  RegKey* findSubkey(std::u16string_view name) const;
  // The subkey `name`, made when missing (`created` tells which).
  RegKey& subkey(std::u16string_view name, bool& created);
  bool removeSubkey(std::u16string_view name);
  RegValue* findValue(std::u16string_view name);
  const RegValue* findValue(std::u16string_view name) const;
  void setValue(std::u16string_view name, DWORD type, std::vector<BYTE> data);
  bool removeValue(std::u16string_view name);
};

// The three roots, in this order.
enum class RegRoot { ClassesRoot, CurrentUser, LocalMachine };
inline constexpr int kRegRootCount = 3;
const char* regRootName(RegRoot root);  // "HKEY_CLASSES_ROOT", ...

struct RegTree {
  RegKey roots[kRegRootCount];
  RegKey& root(RegRoot r) { return roots[static_cast<int>(r)]; }
  const RegKey& root(RegRoot r) const { return roots[static_cast<int>(r)]; }
};

// The registry of a new device: the MIME code-page database and the wave volume.
void seedRegistry(RegTree& tree);

// The text form: `formatRegistry` writes it; `parseRegistry` reads it back
// exactly, or answers false with the line and reason in `error`.
std::string formatRegistry(const RegTree& tree);
bool parseRegistry(std::string_view text, RegTree& tree, std::string& error);

class RegistryStore {
 public:
  // Whether a save waits until the file and its rename are on the disk.
  enum class Durability { Flushed, Scratch };
  // The store of the device whose state folder is `folder`.
  explicit RegistryStore(std::filesystem::path folder, Durability durability = Durability::Flushed);
  ~RegistryStore();
  RegistryStore(const RegistryStore&) = delete;
  RegistryStore& operator=(const RegistryStore&) = delete;

  // Runs `action` on the up-to-date tree under the device-wide lock.
  LONG read(const std::function<LONG(const RegTree&)>& action);
  // Runs `action`, which sets `changed` when it changed the tree; the tree is
  // then written before the lock goes. A failed write undoes the change and
  // answers ERROR_CANTWRITE.
  LONG modify(const std::function<LONG(RegTree&, bool& changed)>& action);

  // Writes a fresh seeded registry, replacing whatever is there.
  bool reset();
  const std::filesystem::path& file() const { return m_file; }

 private:
  class Lock;
  // Whether the tree is the one on disk: loaded, and neither the generation
  // nor the file changed since.
  bool isCurrent() const;
  bool refresh(const Lock& lock);
  bool load();
  bool save();
  void replaceUnreadableFile(const std::string& reason);
  unsigned long long readGeneration() const;
  void mapGeneration();
  static constexpr size_t kGenerationBytes = 8;

  std::filesystem::path m_folder;
  std::filesystem::path m_file;
  Durability m_durability;
  std::mutex m_mutex;
  int m_lockFd = -1;
  int m_folderFd = -1;  // the state folder, where the file's stamp is looked up
  // The lock file's generation as the device holds it, mapped shared and
  // read-only: a read that finds it unchanged costs no system call for it.
  // Null when the file could not be mapped; it is then read with pread.
  const std::atomic<unsigned long long>* m_sharedGeneration = nullptr;
  RegTree m_tree;
  bool m_loaded = false;
  bool m_frozen = false;  // an unreadable file could not be moved aside: never overwrite it
  unsigned long long m_generation = 0;
  struct Stamp {
    unsigned long long inode = 0, size = 0, mtimeNs = 0;
    bool operator==(const Stamp&) const = default;
  } m_stamp;
  Stamp currentStamp() const;
};
