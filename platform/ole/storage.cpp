// Structured storage: IStorage and IStream over an in-memory tree that is
// written to its compound file on every commit (and when the root goes,
// unless the file is to be deleted then).

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>

#include "platform/ole/comobject.h"
#include "platform/ole/compoundfile.h"
#include "platform/ole/docfile.h"
#include "platform/core/device.h"
#include "platform/core/devicepath.h"

namespace {

constexpr size_t kMaxNameLength = 31;
constexpr DWORD kAccessMask = 0x3;
constexpr DWORD kShareMask = 0x70;

FILETIME now() {
  // FILETIME counts 100 ns units since 1601.
  constexpr std::uint64_t kEpochOffset = 116444736000000000ull;
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::uint64_t t =
      kEpochOffset + static_cast<std::uint64_t>(ts.tv_sec) * 10000000ull + static_cast<std::uint64_t>(ts.tv_nsec) / 100;
  return {static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
}

bool isValidName(LPCOLESTR name) {
  if (!name || !*name) return false;
  size_t length = 0;
  for (; name[length]; ++length) {
    WCHAR c = name[length];
    if (c == u'\\' || c == u'/' || c == u':' || c == u'!') return false;
  }
  return length <= kMaxNameLength;
}

bool canWrite(DWORD mode) { return (mode & kAccessMask) == STGM_WRITE || (mode & kAccessMask) == STGM_READWRITE; }
bool canRead(DWORD mode) { return (mode & kAccessMask) == STGM_READ || (mode & kAccessMask) == STGM_READWRITE; }

// Elements of one storage open through IStorage::Create*/Open* must be opened
// exclusively; the modes the device's storages support.
HRESULT checkElementMode(DWORD mode) {
  if ((mode & kAccessMask) == kAccessMask) return STG_E_INVALIDFLAG;
  if ((mode & kShareMask) != STGM_SHARE_EXCLUSIVE) return STG_E_INVALIDFLAG;
  if (mode & (STGM_TRANSACTED | STGM_DELETEONRELEASE | STGM_CONVERT | STGM_PRIORITY)) return STG_E_INVALIDFUNCTION;
  return S_OK;
}

LPOLESTR taskString(const std::u16string& text) {
  auto* s = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(OLECHAR)));
  if (!s) return nullptr;
  std::memcpy(s, text.c_str(), (text.size() + 1) * sizeof(OLECHAR));
  return s;
}

// The file behind a root storage. Everything opened from the root keeps it
// alive; the last one to go writes it (or deletes it).
class Docfile {
 public:
  Docfile(std::string hostPath, int fd, bool deleteOnRelease)
      : m_hostPath(std::move(hostPath)), m_fd(fd), m_deleteOnRelease(deleteOnRelease) {
    m_root = std::make_shared<StorageElement>();
    m_root->created = m_root->modified = now();
  }
  ~Docfile() {
    if (!m_deleteOnRelease && m_dirty) flush();
    if (m_deleteOnRelease) unlink(m_hostPath.c_str());
    close(m_fd);  // also drops the lock
  }
  Docfile(const Docfile&) = delete;
  Docfile& operator=(const Docfile&) = delete;

  const std::shared_ptr<StorageElement>& root() const { return m_root; }
  void touch() { m_dirty = true; }

  HRESULT flush() {
    std::vector<BYTE> bytes;
    if (!writeCompoundFile(*m_root, bytes)) return STG_E_MEDIUMFULL;
    if (lseek(m_fd, 0, SEEK_SET) != 0) return STG_E_WRITEFAULT;
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
      if (n < 0) return STG_E_WRITEFAULT;
      done += static_cast<size_t>(n);
    }
    if (ftruncate(m_fd, static_cast<off_t>(bytes.size())) != 0) return STG_E_WRITEFAULT;
    // A file deleted on release never outlives the process: waiting for the
    // disk to hold it (milliseconds, on every start that embeds the control)
    // protects nothing.
    if (!m_deleteOnRelease && fsync(m_fd) != 0) return STG_E_WRITEFAULT;
    m_dirty = false;
    return S_OK;
  }

 private:
  std::string m_hostPath;
  int m_fd;
  bool m_deleteOnRelease;
  bool m_dirty = true;
  std::shared_ptr<StorageElement> m_root;
};

class Stream final : public ComObject<Implements<IStream, IID_ISequentialStream, IID_IStream>> {
 public:
  Stream(std::shared_ptr<Docfile> file, std::shared_ptr<StorageElement> element, DWORD mode)
      : m_file(std::move(file)), m_element(std::move(element)), m_mode(mode) {
    ++m_element->openCount;
  }
  ~Stream() override { --m_element->openCount; }

  HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) override {
    if (pcbRead) *pcbRead = 0;
    if (m_element->destroyed) return STG_E_REVERTED;
    if (!pv) return STG_E_INVALIDPOINTER;
    if (!canRead(m_mode)) return STG_E_ACCESSDENIED;
    const auto& data = m_element->data;
    ULONG n = m_position >= data.size() ? 0 : static_cast<ULONG>(std::min<std::uint64_t>(cb, data.size() - m_position));
    if (n) std::memcpy(pv, data.data() + m_position, n);
    m_position += n;
    if (pcbRead) *pcbRead = n;
    return S_OK;
  }

  HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
    if (pcbWritten) *pcbWritten = 0;
    if (m_element->destroyed) return STG_E_REVERTED;
    if (!pv) return STG_E_INVALIDPOINTER;
    if (!canWrite(m_mode)) return STG_E_ACCESSDENIED;
    if (cb == 0) return S_OK;
    auto& data = m_element->data;
    std::uint64_t end = m_position + cb;
    if (end > 0xFFFFFFFFull) return STG_E_MEDIUMFULL;
    if (end > data.size()) data.resize(static_cast<size_t>(end));
    std::memcpy(data.data() + m_position, pv, cb);
    m_position = end;
    m_file->touch();
    if (pcbWritten) *pcbWritten = cb;
    return S_OK;
  }

  HRESULT Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) override {
    if (m_element->destroyed) return STG_E_REVERTED;
    std::int64_t base;
    switch (dwOrigin) {
      case STREAM_SEEK_SET:
        base = 0;
        break;
      case STREAM_SEEK_CUR:
        base = static_cast<std::int64_t>(m_position);
        break;
      case STREAM_SEEK_END:
        base = static_cast<std::int64_t>(m_element->data.size());
        break;
      default:
        return STG_E_INVALIDFUNCTION;
    }
    std::int64_t target = base + dlibMove.QuadPart;
    if (target < 0) return STG_E_INVALIDFUNCTION;
    m_position = static_cast<std::uint64_t>(target);
    if (plibNewPosition) plibNewPosition->QuadPart = m_position;
    return S_OK;
  }

  HRESULT SetSize(ULARGE_INTEGER libNewSize) override {
    if (m_element->destroyed) return STG_E_REVERTED;
    if (!canWrite(m_mode)) return STG_E_ACCESSDENIED;
    if (libNewSize.QuadPart > 0xFFFFFFFFull) return STG_E_MEDIUMFULL;
    m_element->data.resize(static_cast<size_t>(libNewSize.QuadPart));
    m_file->touch();
    return S_OK;
  }

  HRESULT CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) override {
    if (pcbRead) pcbRead->QuadPart = 0;
    if (pcbWritten) pcbWritten->QuadPart = 0;
    if (m_element->destroyed) return STG_E_REVERTED;
    if (!pstm) return STG_E_INVALIDPOINTER;
    const auto& data = m_element->data;
    std::uint64_t available = m_position >= data.size() ? 0 : data.size() - m_position;
    ULONG n = static_cast<ULONG>(std::min<std::uint64_t>({cb.QuadPart, available, 0xFFFFFFFFull}));
    std::vector<BYTE> chunk(data.begin() + static_cast<std::ptrdiff_t>(m_position),
                            data.begin() + static_cast<std::ptrdiff_t>(m_position + n));
    ULONG written = 0;
    HRESULT hr = pstm->Write(chunk.data(), n, &written);
    m_position += n;
    if (pcbRead) pcbRead->QuadPart = n;
    if (pcbWritten) pcbWritten->QuadPart = written;
    return hr;
  }

  HRESULT Commit(DWORD) override { return m_element->destroyed ? STG_E_REVERTED : S_OK; }
  HRESULT Revert() override { return S_OK; }
  HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }

  HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) override {
    if (!pstatstg) return STG_E_INVALIDPOINTER;
    if (m_element->destroyed) return STG_E_REVERTED;
    *pstatstg = {};
    if (!(grfStatFlag & STATFLAG_NONAME)) pstatstg->pwcsName = taskString(m_element->name);
    pstatstg->type = STGTY_STREAM;
    pstatstg->cbSize.QuadPart = m_element->data.size();
    pstatstg->grfMode = m_mode;
    return S_OK;
  }

  HRESULT Clone(IStream** ppstm) override {
    if (ppstm) *ppstm = nullptr;
    return STG_E_INVALIDFUNCTION;  // a stream is open once at a time
  }

 private:
  std::shared_ptr<Docfile> m_file;
  std::shared_ptr<StorageElement> m_element;
  DWORD m_mode;
  std::uint64_t m_position = 0;
};

class Storage final : public ComObject<Implements<IStorage, IID_IStorage>> {
 public:
  Storage(std::shared_ptr<Docfile> file, std::shared_ptr<StorageElement> element, DWORD mode)
      : m_file(std::move(file)), m_element(std::move(element)), m_mode(mode) {
    ++m_element->openCount;
  }
  ~Storage() override { --m_element->openCount; }

  HRESULT CreateStream(LPCOLESTR pwcsName, DWORD grfMode, DWORD, DWORD, IStream** ppstm) override {
    return create(pwcsName, grfMode, STGTY_STREAM, reinterpret_cast<void**>(ppstm));
  }
  HRESULT OpenStream(LPCOLESTR pwcsName, void*, DWORD grfMode, DWORD, IStream** ppstm) override {
    return open(pwcsName, grfMode, STGTY_STREAM, reinterpret_cast<void**>(ppstm));
  }
  HRESULT CreateStorage(LPCOLESTR pwcsName, DWORD grfMode, DWORD, DWORD, IStorage** ppstg) override {
    return create(pwcsName, grfMode, STGTY_STORAGE, reinterpret_cast<void**>(ppstg));
  }
  HRESULT OpenStorage(LPCOLESTR pwcsName, IStorage* pstgPriority, DWORD grfMode, SNB, DWORD,
                      IStorage** ppstg) override {
    if (pstgPriority) return STG_E_INVALIDPARAMETER;
    return open(pwcsName, grfMode, STGTY_STORAGE, reinterpret_cast<void**>(ppstg));
  }

  HRESULT CopyTo(DWORD, const IID*, SNB, IStorage* pstgDest) override {
    if (!pstgDest) return STG_E_INVALIDPOINTER;
    return STG_E_UNIMPLEMENTEDFUNCTION;
  }
  HRESULT MoveElementTo(LPCOLESTR, IStorage*, LPCOLESTR, DWORD) override { return STG_E_UNIMPLEMENTEDFUNCTION; }

  HRESULT Commit(DWORD) override {
    if (m_element->destroyed) return STG_E_REVERTED;
    return m_file->flush();
  }
  HRESULT Revert() override { return S_OK; }  // direct mode: nothing is pending
  HRESULT EnumElements(DWORD, void*, DWORD, IEnumSTATSTG** ppenum) override {
    if (ppenum) *ppenum = nullptr;
    return STG_E_UNIMPLEMENTEDFUNCTION;
  }

  HRESULT DestroyElement(LPCOLESTR pwcsName) override {
    if (m_element->destroyed) return STG_E_REVERTED;
    if (!canWrite(m_mode)) return STG_E_ACCESSDENIED;
    auto it = find(pwcsName);
    if (it == m_element->children.end()) return STG_E_FILENOTFOUND;
    markDestroyed(**it);
    m_element->children.erase(it);
    changed();
    return S_OK;
  }

  HRESULT RenameElement(LPCOLESTR pwcsOldName, LPCOLESTR pwcsNewName) override {
    if (m_element->destroyed) return STG_E_REVERTED;
    if (!canWrite(m_mode)) return STG_E_ACCESSDENIED;
    if (!isValidName(pwcsNewName)) return STG_E_INVALIDNAME;
    auto it = find(pwcsOldName);
    if (it == m_element->children.end()) return STG_E_FILENOTFOUND;
    if (find(pwcsNewName) != m_element->children.end()) return STG_E_ACCESSDENIED;
    if ((*it)->openCount) return STG_E_ACCESSDENIED;
    (*it)->name = pwcsNewName;
    changed();
    return S_OK;
  }

  HRESULT SetElementTimes(LPCOLESTR pwcsName, const FILETIME* pctime, const FILETIME*,
                          const FILETIME* pmtime) override {
    if (m_element->destroyed) return STG_E_REVERTED;
    if (!canWrite(m_mode)) return STG_E_ACCESSDENIED;
    StorageElement* target = m_element.get();
    if (pwcsName) {
      auto it = find(pwcsName);
      if (it == m_element->children.end()) return STG_E_FILENOTFOUND;
      target = it->get();
    }
    if (pctime) target->created = *pctime;
    if (pmtime) target->modified = *pmtime;
    m_file->touch();
    return S_OK;
  }

  HRESULT SetClass(REFCLSID clsid) override {
    if (m_element->destroyed) return STG_E_REVERTED;
    if (!canWrite(m_mode)) return STG_E_ACCESSDENIED;
    m_element->clsid = clsid;
    m_file->touch();
    return S_OK;
  }

  HRESULT SetStateBits(DWORD grfStateBits, DWORD grfMask) override {
    if (m_element->destroyed) return STG_E_REVERTED;
    if (!canWrite(m_mode)) return STG_E_ACCESSDENIED;
    m_element->stateBits = (m_element->stateBits & ~grfMask) | (grfStateBits & grfMask);
    m_file->touch();
    return S_OK;
  }

  HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) override {
    if (!pstatstg) return STG_E_INVALIDPOINTER;
    if (m_element->destroyed) return STG_E_REVERTED;
    *pstatstg = {};
    if (!(grfStatFlag & STATFLAG_NONAME)) {
      pstatstg->pwcsName = taskString(m_element == m_file->root() ? m_rootName : m_element->name);
      if (!pstatstg->pwcsName) return STG_E_INSUFFICIENTMEMORY;
    }
    pstatstg->type = STGTY_STORAGE;
    pstatstg->mtime = m_element->modified;
    pstatstg->ctime = m_element->created;
    pstatstg->grfMode = m_mode;
    pstatstg->clsid = m_element->clsid;
    pstatstg->grfStateBits = m_element->stateBits;
    return S_OK;
  }

  void setRootName(std::u16string name) { m_rootName = std::move(name); }

 private:
  using Children = std::vector<std::shared_ptr<StorageElement>>;

  Children::iterator find(LPCOLESTR name) {
    auto& children = m_element->children;
    if (!name) return children.end();
    std::u16string wanted(name);
    return std::find_if(children.begin(), children.end(),
                        [&](const auto& child) { return compareElementNames(child->name, wanted) == 0; });
  }

  static void markDestroyed(StorageElement& element) {
    element.destroyed = true;
    for (auto& child : element.children) markDestroyed(*child);
  }

  void changed() {
    m_element->modified = now();
    m_file->touch();
  }

  void* wrap(const std::shared_ptr<StorageElement>& element, DWORD mode) {
    if (element->type == STGTY_STREAM) return static_cast<IStream*>(new Stream(m_file, element, mode));
    return static_cast<IStorage*>(new Storage(m_file, element, mode));
  }

  HRESULT create(LPCOLESTR name, DWORD mode, DWORD type, void** out) {
    if (!out) return STG_E_INVALIDPOINTER;
    *out = nullptr;
    if (m_element->destroyed) return STG_E_REVERTED;
    if (!isValidName(name)) return name ? STG_E_INVALIDNAME : STG_E_INVALIDPOINTER;
    HRESULT hr = checkElementMode(mode & ~STGM_CREATE);
    if (FAILED(hr)) return hr;
    if (!canWrite(m_mode)) return STG_E_ACCESSDENIED;
    auto existing = find(name);
    if (existing != m_element->children.end()) {
      if (!(mode & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
      if ((*existing)->openCount) return STG_E_ACCESSDENIED;
      markDestroyed(**existing);
      m_element->children.erase(existing);
    }
    auto element = std::make_shared<StorageElement>();
    element->name = name;
    element->type = type;
    element->created = element->modified = now();
    m_element->children.push_back(element);
    changed();
    *out = wrap(element, mode);
    return S_OK;
  }

  HRESULT open(LPCOLESTR name, DWORD mode, DWORD type, void** out) {
    if (!out) return STG_E_INVALIDPOINTER;
    *out = nullptr;
    if (m_element->destroyed) return STG_E_REVERTED;
    if (!name) return STG_E_INVALIDPOINTER;
    if (mode & STGM_CREATE) return STG_E_INVALIDFLAG;
    HRESULT hr = checkElementMode(mode);
    if (FAILED(hr)) return hr;
    if (canWrite(mode) && !canWrite(m_mode)) return STG_E_ACCESSDENIED;
    auto it = find(name);
    if (it == m_element->children.end() || (*it)->type != type) return STG_E_FILENOTFOUND;
    if ((*it)->openCount) return STG_E_ACCESSDENIED;  // open exclusively
    *out = wrap(*it, mode);
    return S_OK;
  }

  std::shared_ptr<Docfile> m_file;
  std::shared_ptr<StorageElement> m_element;
  DWORD m_mode;
  std::u16string m_rootName;
};

}  // namespace

HRESULT createDocfileAtHostPath(const std::string& hostPath, std::u16string name, DWORD grfMode, IStorage** ppstgOpen) {
  if (!ppstgOpen) return STG_E_INVALIDPOINTER;
  *ppstgOpen = nullptr;
  if (!canWrite(grfMode) || (grfMode & kAccessMask) == kAccessMask) return STG_E_INVALIDFLAG;
  if (grfMode & (STGM_TRANSACTED | STGM_CONVERT | STGM_SIMPLE | STGM_PRIORITY)) return STG_E_INVALIDFLAG;
  int flags = O_RDWR | O_CLOEXEC | O_CREAT | ((grfMode & STGM_CREATE) ? 0 : O_EXCL);
  int fd = ::open(hostPath.c_str(), flags, 0644);
  if (fd < 0) {
    switch (errno) {
      case EEXIST:
        return STG_E_FILEALREADYEXISTS;
      case ENOENT:
      case ENOTDIR:
        return STG_E_PATHNOTFOUND;
      case EACCES:
      case EROFS:
      case EISDIR:
        return STG_E_ACCESSDENIED;
      default:
        return STG_E_WRITEFAULT;
    }
  }
  // Another holder of the file (in this process or another) keeps it.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return STG_E_SHAREVIOLATION;
  }
  auto file = std::make_shared<Docfile>(hostPath, fd, (grfMode & STGM_DELETEONRELEASE) != 0);
  HRESULT hr = file->flush();  // an empty compound file from the start
  if (FAILED(hr)) return hr;
  auto* root = new Storage(file, file->root(), grfMode & ~(STGM_CREATE | STGM_DELETEONRELEASE));
  root->setRootName(std::move(name));
  *ppstgOpen = root;
  return S_OK;
}

HRESULT WriteClassStg(IStorage* pStg, REFCLSID rclsid) {
  if (!pStg) return E_INVALIDARG;
  return pStg->SetClass(rclsid);
}

HRESULT ReadClassStg(IStorage* pStg, CLSID* pclsid) {
  if (!pStg || !pclsid) return E_INVALIDARG;
  STATSTG stat{};
  HRESULT hr = pStg->Stat(&stat, STATFLAG_NONAME);
  *pclsid = SUCCEEDED(hr) ? stat.clsid : CLSID_NULL;
  return hr;
}

HRESULT StgCreateDocfile(LPCOLESTR pwcsName, DWORD grfMode, DWORD reserved, IStorage** ppstgOpen) {
  if (!ppstgOpen) return STG_E_INVALIDPOINTER;
  *ppstgOpen = nullptr;
  if (reserved) return STG_E_INVALIDPARAMETER;
  std::u16string name;
  if (pwcsName) {
    name = pwcsName;
  } else {
    // A nameless docfile is a scratch file that goes with its storage.
    static std::uint32_t counter = 0;
    std::string unique = std::to_string(getpid()) + "_" + std::to_string(++counter);
    name = u"\\Temp\\~stg" + std::u16string(unique.begin(), unique.end()) + u".tmp";
    grfMode |= STGM_DELETEONRELEASE | STGM_CREATE;
  }
  Device* device = currentDevice();
  if (!device) return STG_E_PATHNOTFOUND;
  ResolvedPath resolved;
  DWORD error = resolveDevicePath(*device, name, resolved);
  if (error == ERROR_ACCESS_DENIED) return STG_E_ACCESSDENIED;
  if (error != ERROR_SUCCESS) return STG_E_PATHNOTFOUND;
  if (resolved.isDirectory || resolved.kind != ResolvedPath::Kind::Entry) return STG_E_ACCESSDENIED;
  return createDocfileAtHostPath(resolved.host, name, grfMode, ppstgOpen);
}
