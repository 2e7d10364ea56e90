#include <gtest/gtest.h>

#include <string>

#include "platform/ole/comptr.h"
#include "platform/ole/inproc.h"
#include "tests/platform/ole/testserver/testserver.h"
#include "tests/support/tempdir.h"

namespace {

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
  void* object = &object;
  EXPECT_EQ(CoCreateInstance(CLSID_TestFull, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object), CO_E_NOTINITIALIZED);
  EXPECT_EQ(object, nullptr);
  ComScope com;
  object = &object;
  EXPECT_EQ(CoCreateInstance(CLSID_TestFull, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object), REGDB_E_CLASSNOTREG);
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
