// IUnknown written once: what a ComObject answers and when it goes.
#include "platform/ole/comobject.h"

#include <gtest/gtest.h>

#include "platform/ole/objidl.h"
#include "platform/ole/oleidl.h"

namespace {

class Probe final
    : public ComObject<Implements<IClassFactory, IID_IClassFactory>, Implements<IOleWindow, IID_IOleWindow>> {
 public:
  explicit Probe(bool& gone) : m_gone(gone) {}
  ~Probe() override { m_gone = true; }
  HRESULT CreateInstance(IUnknown*, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT LockServer(BOOL) override { return S_OK; }
  HRESULT GetWindow(HWND*) override { return E_NOTIMPL; }
  HRESULT ContextSensitiveHelp(BOOL) override { return S_OK; }

 private:
  bool& m_gone;
};

TEST(ComObject, AnswersItsInterfacesCountsAndGoesWithTheLastReference) {
  bool gone = false;
  auto* probe = new Probe(gone);
  struct Row {
    const char* name;
    const IID& iid;
    void* expected;
  };
  const Row rows[] = {
      {"IUnknown: the first interface", IID_IUnknown, static_cast<IClassFactory*>(probe)},
      {"IClassFactory", IID_IClassFactory, static_cast<IClassFactory*>(probe)},
      {"IOleWindow", IID_IOleWindow, static_cast<IOleWindow*>(probe)},
      {"not implemented", IID_IStream, nullptr},
  };
  int references = 1;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    void* answer = reinterpret_cast<void*>(1);
    EXPECT_EQ(probe->QueryInterface(row.iid, &answer), row.expected ? S_OK : E_NOINTERFACE);
    EXPECT_EQ(answer, row.expected);
    if (row.expected) ++references;
  }
  EXPECT_EQ(probe->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  while (references-- > 1) EXPECT_NE(static_cast<IOleWindow*>(probe)->Release(), 0u);
  EXPECT_FALSE(gone);
  EXPECT_EQ(probe->Release(), 0u);
  EXPECT_TRUE(gone);
}

}  // namespace
