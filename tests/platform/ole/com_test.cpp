#include <gtest/gtest.h>

#include <string>

#include "platform/ole/comptr.h"
#include "platform/ole/docfile.h"
#include "platform/ole/inproc.h"
#include "tests/platform/ole/testserver/testserver.h"
#include "platform/core/winreg.h"
#include "tests/support/tempdir.h"
#include "tests/support/testdevice.h"

#include <filesystem>

namespace {

struct Counted : IUnknown {
  ULONG refs = 1;
  HRESULT QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
};

// COM initialised for the span of a test.
struct ComScope {
  ComScope() { EXPECT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }
  ~ComScope() { CoUninitialize(); }
};

TEST(CoInitializeEx, CountsAndKeepsItsThreadingModel) {
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
  CoUninitialize();
  CoUninitialize();
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);  // fully uninitialised: any model again
  CoUninitialize();
  int reserved = 0;
  EXPECT_EQ(CoInitializeEx(&reserved, COINIT_MULTITHREADED), E_INVALIDARG);
}

TEST(CoCreateInstance, NeedsComAndARegisteredClass) {
  TestDevice device;
  void* object = &object;
  EXPECT_EQ(CoCreateInstance(CLSID_TestFull, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
            CO_E_NOTINITIALIZED);
  EXPECT_EQ(object, nullptr);
  ComScope com;
  object = &object;
  EXPECT_EQ(CoCreateInstance(CLSID_TestFull, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(CoCreateInstance(CLSID_TestFull, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &object), REGDB_E_CLASSNOTREG);

  IOleObject* created = reinterpret_cast<IOleObject*>(&object);
  EXPECT_EQ(OleCreate(CLSID_TestFull, IID_IOleObject, OLERENDER_DRAW, nullptr, nullptr, nullptr,
                      reinterpret_cast<void**>(&created)),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(created, nullptr);
}

TEST(InprocServer, LoadsASharedLibraryAndItsClassObjects) {
  LPFNGETCLASSOBJECT getClassObject = nullptr;
  ASSERT_EQ(loadInprocServer(ORVEL_OLE_TESTSERVER, getClassObject), S_OK);
  LPFNGETCLASSOBJECT again = nullptr;
  ASSERT_EQ(loadInprocServer(ORVEL_OLE_TESTSERVER, again), S_OK);
  EXPECT_EQ(again, getClassObject);  // loaded once

  ComPtr<IClassFactory> factory;
  ASSERT_EQ(getClassObject(CLSID_TestFull, IID_IClassFactory, factory.putVoid()), S_OK);
  ComPtr<IOleObject> object;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IOleObject, object.putVoid()), S_OK);
  ComPtr<IUnknown> outer(object.get());
  ComPtr<IOleObject> aggregated;
  EXPECT_EQ(factory->CreateInstance(outer.get(), IID_IOleObject, aggregated.putVoid()), CLASS_E_NOAGGREGATION);
  ComPtr<IClassFactory> none;
  EXPECT_EQ(getClassObject(CLSID_TestUnknown, IID_IClassFactory, none.putVoid()), CLASS_E_CLASSNOTAVAILABLE);
}

TEST(InprocServer, ReportsWhatCannotBeLoaded) {
  TempDir dir;
  LPFNGETCLASSOBJECT entry = nullptr;
  EXPECT_EQ(loadInprocServer((dir / "missing.dll").string(), entry), CO_E_DLLNOTFOUND);
  writeHostFile(dir / "garbage.dll", "not a shared library");
  EXPECT_EQ(loadInprocServer((dir / "garbage.dll").string(), entry), CO_E_DLLNOTFOUND);
  // A real shared library without the export.
  EXPECT_EQ(loadInprocServer("libz.so.1", entry), CO_E_ERRORINDLL);
  EXPECT_EQ(entry, nullptr);
}

}  // namespace

namespace {

ComPtr<IOleObject> testObject(const CLSID& clsid) {
  LPFNGETCLASSOBJECT getClassObject = nullptr;
  EXPECT_EQ(loadInprocServer(ORVEL_OLE_TESTSERVER, getClassObject), S_OK);
  ComPtr<IClassFactory> factory;
  ComPtr<IOleObject> object;
  if (getClassObject && SUCCEEDED(getClassObject(clsid, IID_IClassFactory, factory.putVoid())))
    factory->CreateInstance(nullptr, IID_IOleObject, object.putVoid());
  return object;
}

std::string logOf(IUnknown* object) {
  ComPtr<ITestLog> log;
  if (FAILED(object->QueryInterface(IID_ITestLog, log.putVoid()))) return "<no log>";
  return log->Log();
}

TEST(OleSetContainedObject, TellsRunnableObjectsOnly) {
  ComPtr<IOleObject> object = testObject(CLSID_TestFull);
  ASSERT_TRUE(object);
  EXPECT_EQ(OleSetContainedObject(object.get(), TRUE), S_OK);
  EXPECT_EQ(logOf(object.get()), "SetContainedObject 1\n");
  // An object that is not runnable has nothing to be told.
  Counted plain;
  EXPECT_EQ(OleSetContainedObject(&plain, TRUE), S_OK);
  EXPECT_EQ(OleSetContainedObject(nullptr, TRUE), E_INVALIDARG);
}

TEST(OleSave, RecordsTheClassSavesAndCommits) {
  TempDir dir;
  std::string path = (dir / "save.stg").string();
  ComPtr<IStorage> storage;
  ASSERT_EQ(
      createDocfileAtHostPath(path, u"save.stg", STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE, storage.put()),
      S_OK);
  ComPtr<IOleObject> object = testObject(CLSID_TestFull);
  ComPtr<IPersistStorage> persist;
  ASSERT_EQ(object.queryInterface(IID_IPersistStorage, persist), S_OK);
  std::string before = readHostFile(path);
  ASSERT_EQ(OleSave(persist.get(), storage.get(), TRUE), S_OK);
  EXPECT_EQ(logOf(object.get()), "Save same\n");
  CLSID clsid{};
  ASSERT_EQ(ReadClassStg(storage.get(), &clsid), S_OK);
  EXPECT_TRUE(IsEqualGUID(clsid, CLSID_TestFull));
  ComPtr<IStream> stream;
  ASSERT_EQ(storage->OpenStream(u"Contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.put()), S_OK);
  char buffer[64] = {};
  ULONG read = 0;
  ASSERT_EQ(stream->Read(buffer, sizeof buffer, &read), S_OK);
  EXPECT_EQ(std::string(buffer, read), kTestSavedContents);
  std::string after = readHostFile(path);
  EXPECT_NE(after, before);  // committed: the file holds the stream now
  EXPECT_NE(after.find(kTestSavedContents), std::string::npos);
  EXPECT_EQ(OleSave(nullptr, storage.get(), TRUE), E_INVALIDARG);
}

}  // namespace

namespace {

struct NullSite : IOleClientSite {
  HRESULT QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT SaveObject() override { return S_OK; }
  HRESULT GetMoniker(DWORD, DWORD, IMoniker** pp) override {
    *pp = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetContainer(IOleContainer** pp) override {
    *pp = nullptr;
    return E_NOTIMPL;
  }
  HRESULT ShowObject() override { return S_OK; }
  HRESULT OnShowWindow(BOOL) override { return S_OK; }
  HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }
};

void registerServer(const CLSID& clsid, const char16_t* devicePath) {
  WCHAR guid[39];
  StringFromGUID2(clsid, guid, 39);
  std::u16string name = u"CLSID\\" + std::u16string(guid) + u"\\InprocServer32";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  std::u16string value(devicePath);
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR)));
  RegCloseKey(key);
}

TEST(OleCreate, CreatesARegisteredObjectInATemporaryStorage) {
  TestDevice device;
  std::filesystem::copy_file(ORVEL_OLE_TESTSERVER, device.host("Windows/oletest.dll"));
  registerServer(CLSID_TestFull, u"\\Windows\\OLETEST.DLL");  // device names ignore case
  registerServer(CLSID_TestNoPersist, u"\\Windows\\oletest.dll");
  registerServer(CLSID_TestFailInit, u"\\Windows\\oletest.dll");
  registerServer(CLSID_TestNoView, u"\\Windows\\gone.dll");
  ComScope com;

  ComPtr<IStorage> storage;
  ASSERT_EQ(StgCreateDocfile(u"DocTmpFile200311.tmp", 0x04001012, 0, storage.put()), S_OK);
  EXPECT_TRUE(std::filesystem::exists(device.host("DocTmpFile200311.tmp")));  // at the device root
  NullSite site;
  ComPtr<IUnknown> object;
  ASSERT_EQ(OleCreate(CLSID_TestFull, IID_IUnknown, OLERENDER_DRAW, nullptr, &site, storage.get(), object.putVoid()),
            S_OK);
  EXPECT_EQ(logOf(object.get()), "InitNew\nSetClientSite\nRun\n");

  ComPtr<IUnknown> none;
  EXPECT_EQ(
      OleCreate(CLSID_TestNoPersist, IID_IUnknown, OLERENDER_DRAW, nullptr, nullptr, storage.get(), none.putVoid()),
      E_NOINTERFACE);
  EXPECT_EQ(
      OleCreate(CLSID_TestFailInit, IID_IUnknown, OLERENDER_DRAW, nullptr, nullptr, storage.get(), none.putVoid()),
      E_OUTOFMEMORY);
  EXPECT_EQ(OleCreate(CLSID_TestNoView, IID_IUnknown, OLERENDER_DRAW, nullptr, nullptr, storage.get(), none.putVoid()),
            CO_E_DLLNOTFOUND);
  EXPECT_EQ(
      OleCreate(CLSID_TestSiteFirst, IID_IUnknown, OLERENDER_DRAW, nullptr, nullptr, storage.get(), none.putVoid()),
      REGDB_E_CLASSNOTREG);
  EXPECT_EQ(none.get(), nullptr);

  object.reset();
  storage.reset();
  EXPECT_FALSE(std::filesystem::exists(device.host("DocTmpFile200311.tmp")));  // deleted on release
}

}  // namespace
