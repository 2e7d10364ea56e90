#pragma once
// Structured storage on the device: IStorage and IStream, and the compound
// files StgCreateDocfile makes. A storage holds named streams and sub-storages
// and lives in one device file; a name without a leading '\' is taken from the
// device root, as the device has no current folder.

#include "platform/ole/objbase.h"

union LARGE_INTEGER {
  struct {
    DWORD LowPart;
    LONG HighPart;
  } u;
  LONGLONG QuadPart;
};
union ULARGE_INTEGER {
  struct {
    DWORD LowPart;
    DWORD HighPart;
  } u;
  ULONGLONG QuadPart;
};

inline constexpr HRESULT STG_E_INVALIDFUNCTION = hresult(0x80030001);
inline constexpr HRESULT STG_E_FILENOTFOUND = hresult(0x80030002);
inline constexpr HRESULT STG_E_PATHNOTFOUND = hresult(0x80030003);
inline constexpr HRESULT STG_E_ACCESSDENIED = hresult(0x80030005);
inline constexpr HRESULT STG_E_INVALIDHANDLE = hresult(0x80030006);
inline constexpr HRESULT STG_E_INSUFFICIENTMEMORY = hresult(0x80030008);
inline constexpr HRESULT STG_E_INVALIDPOINTER = hresult(0x80030009);
inline constexpr HRESULT STG_E_WRITEFAULT = hresult(0x8003001D);
inline constexpr HRESULT STG_E_READFAULT = hresult(0x8003001E);
inline constexpr HRESULT STG_E_SHAREVIOLATION = hresult(0x80030020);
inline constexpr HRESULT STG_E_FILEALREADYEXISTS = hresult(0x80030050);
inline constexpr HRESULT STG_E_INVALIDPARAMETER = hresult(0x80030057);
inline constexpr HRESULT STG_E_MEDIUMFULL = hresult(0x80030070);
inline constexpr HRESULT STG_E_INVALIDNAME = hresult(0x800300FC);
inline constexpr HRESULT STG_E_UNIMPLEMENTEDFUNCTION = hresult(0x800300FE);
inline constexpr HRESULT STG_E_INVALIDFLAG = hresult(0x800300FF);
inline constexpr HRESULT STG_E_REVERTED = hresult(0x80030102);

// Access, sharing and creation modes.
inline constexpr DWORD STGM_READ = 0x0;
inline constexpr DWORD STGM_WRITE = 0x1;
inline constexpr DWORD STGM_READWRITE = 0x2;
inline constexpr DWORD STGM_SHARE_DENY_NONE = 0x40;
inline constexpr DWORD STGM_SHARE_DENY_READ = 0x30;
inline constexpr DWORD STGM_SHARE_DENY_WRITE = 0x20;
inline constexpr DWORD STGM_SHARE_EXCLUSIVE = 0x10;
inline constexpr DWORD STGM_PRIORITY = 0x40000;
inline constexpr DWORD STGM_FAILIFTHERE = 0x0;
inline constexpr DWORD STGM_CREATE = 0x1000;
inline constexpr DWORD STGM_CONVERT = 0x20000;
inline constexpr DWORD STGM_DIRECT = 0x0;
inline constexpr DWORD STGM_TRANSACTED = 0x10000;
inline constexpr DWORD STGM_NOSCRATCH = 0x100000;
inline constexpr DWORD STGM_DELETEONRELEASE = 0x04000000;
inline constexpr DWORD STGM_SIMPLE = 0x08000000;

inline constexpr DWORD STGC_DEFAULT = 0;
inline constexpr DWORD STGTY_STORAGE = 1;
inline constexpr DWORD STGTY_STREAM = 2;
inline constexpr DWORD STATFLAG_DEFAULT = 0;
inline constexpr DWORD STATFLAG_NONAME = 1;
inline constexpr DWORD STREAM_SEEK_SET = 0;
inline constexpr DWORD STREAM_SEEK_CUR = 1;
inline constexpr DWORD STREAM_SEEK_END = 2;

struct STATSTG {
  LPOLESTR pwcsName;  // CoTaskMemAlloc'd; the caller frees it
  DWORD type;
  ULARGE_INTEGER cbSize;
  FILETIME mtime;
  FILETIME ctime;
  FILETIME atime;
  DWORD grfMode;
  DWORD grfLocksSupported;
  CLSID clsid;
  DWORD grfStateBits;
  DWORD reserved;
};
using SNB = LPOLESTR*;

inline constexpr IID IID_IStorage = oleStandardGuid(0x0000000B);
inline constexpr IID IID_IStream = oleStandardGuid(0x0000000C);
inline constexpr IID IID_IEnumSTATSTG = oleStandardGuid(0x0000000D);
inline constexpr IID IID_ISequentialStream = {
    0x0C733A30, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};

struct ISequentialStream : IUnknown {
  virtual HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) = 0;
  virtual HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) = 0;
};

struct IStream : ISequentialStream {
  virtual HRESULT Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) = 0;
  virtual HRESULT SetSize(ULARGE_INTEGER libNewSize) = 0;
  virtual HRESULT CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) = 0;
  virtual HRESULT Commit(DWORD grfCommitFlags) = 0;
  virtual HRESULT Revert() = 0;
  virtual HRESULT LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) = 0;
  virtual HRESULT UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) = 0;
  virtual HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) = 0;
  virtual HRESULT Clone(IStream** ppstm) = 0;
};
using LPSTREAM = IStream*;

struct IEnumSTATSTG : IUnknown {
  virtual HRESULT Next(ULONG celt, STATSTG* rgelt, ULONG* pceltFetched) = 0;
  virtual HRESULT Skip(ULONG celt) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumSTATSTG** ppenum) = 0;
};

struct IStorage : IUnknown {
  virtual HRESULT CreateStream(LPCOLESTR pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2,
                               IStream** ppstm) = 0;
  virtual HRESULT OpenStream(LPCOLESTR pwcsName, void* reserved1, DWORD grfMode, DWORD reserved2, IStream** ppstm) = 0;
  virtual HRESULT CreateStorage(LPCOLESTR pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2,
                                IStorage** ppstg) = 0;
  virtual HRESULT OpenStorage(LPCOLESTR pwcsName, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude, DWORD reserved,
                              IStorage** ppstg) = 0;
  virtual HRESULT CopyTo(DWORD ciidExclude, const IID* rgiidExclude, SNB snbExclude, IStorage* pstgDest) = 0;
  virtual HRESULT MoveElementTo(LPCOLESTR pwcsName, IStorage* pstgDest, LPCOLESTR pwcsNewName, DWORD grfFlags) = 0;
  virtual HRESULT Commit(DWORD grfCommitFlags) = 0;
  virtual HRESULT Revert() = 0;
  virtual HRESULT EnumElements(DWORD reserved1, void* reserved2, DWORD reserved3, IEnumSTATSTG** ppenum) = 0;
  virtual HRESULT DestroyElement(LPCOLESTR pwcsName) = 0;
  virtual HRESULT RenameElement(LPCOLESTR pwcsOldName, LPCOLESTR pwcsNewName) = 0;
  virtual HRESULT SetElementTimes(LPCOLESTR pwcsName, const FILETIME* pctime, const FILETIME* patime,
                                  const FILETIME* pmtime) = 0;
  virtual HRESULT SetClass(REFCLSID clsid) = 0;
  virtual HRESULT SetStateBits(DWORD grfStateBits, DWORD grfMask) = 0;
  virtual HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) = 0;
};
using LPSTORAGE = IStorage*;

// Creates a compound file. STGM_CREATE replaces an existing file (otherwise
// STG_E_FILEALREADYEXISTS); STGM_DELETEONRELEASE removes it when the root
// storage is released. A null name makes a uniquely named file in \Temp that
// is always deleted on release.
HRESULT StgCreateDocfile(LPCOLESTR pwcsName, DWORD grfMode, DWORD reserved, IStorage** ppstgOpen);

// The class recorded in a storage (IStorage::SetClass / Stat).
HRESULT WriteClassStg(IStorage* pStg, REFCLSID rclsid);
HRESULT ReadClassStg(IStorage* pStg, CLSID* pclsid);
