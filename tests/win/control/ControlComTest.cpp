// The control as a COM object from C++: its interfaces, IDispatch and the type library,
// aggregation, null arguments, the library's entry points and resources.
#include <gtest/gtest.h>
#include <objsafe.h>
#include <ocidl.h>

#include <algorithm>
#include <functional>

#include "ControlTestSupport.h"
#include "WinHandles.h"

namespace {

struct MemberRow {
  const wchar_t* name;
  const wchar_t* help;
  WORD flags;
  std::vector<VARIANT> arguments;  // last argument first, as IDispatch takes them
  const wchar_t* result;           // null: none
};

VARIANT Text(const wchar_t* text) {
  VARIANT value;
  value.vt = VT_BSTR;
  value.bstrVal = ::SysAllocString(text);
  return value;
}

// DISPIDs 1 to 9 in this order; the system folder holds no VelSetup.exe, so starts fail with 4.
std::vector<MemberRow> Members() {
  VARIANT number;
  number.vt = VT_I4;
  number.lVal = 5;
  const std::wstring dll = ControlDllPath();
  return {
      {L"InstallParam", L"property InstallParam", DISPATCH_PROPERTYPUT, {Text(L"<PARAM/>")}, nullptr},
      {L"IsLoaded", L"method IsLoaded", DISPATCH_METHOD, {}, L"1"},
      {L"CheckObjInstall", L"method CheckObjInstall", DISPATCH_METHOD, {Text(kControlClsid)}, L"1"},
      {L"GetFileVersion", L"method GetFileVersion", DISPATCH_METHOD, {Text(dll.c_str())}, L"1,0,0,10"},
      {L"CheckUpdate", L"method CheckUpdate", DISPATCH_METHOD, {Text(L"1,0,0,11"), Text(dll.c_str())}, L"1"},
      {L"StartUpdate", L"method StartUpdate", DISPATCH_METHOD, {}, L"4"},
      {L"WaitUpdate", L"method WaitUpdate", DISPATCH_METHOD, {}, L"4"},
      {L"GetStatus", L"method GetStatus", DISPATCH_METHOD, {}, L"0"},
      {L"TestMode", L"property TestMode", DISPATCH_PROPERTYPUT, {number}, nullptr},
  };
}

class ControlComTest : public ::testing::Test {
 protected:
  void SetUp() override { ::DeleteFileA((SystemFolder() + "VelSetup.exe").c_str()); }
  CComPtrLite<IVelSetupCtrl> m_control = CreateControl();
};

TEST_F(ControlComTest, AnswersItsInterfacesOnly) {
  const std::pair<IID, HRESULT> rows[] = {
      {IID_IUnknown, S_OK},
      {IID_IDispatch, S_OK},
      {IID_IVelSetupCtrl, S_OK},
      {IID_IObjectWithSite, S_OK},
      {IID_IOleObject, S_OK},
      {IID_IPersist, E_NOINTERFACE},
      {IID_IClassFactory, E_NOINTERFACE},
      {IID_IProvideClassInfo, E_NOINTERFACE},
      {IID_IObjectSafety, E_NOINTERFACE},
  };
  for (const auto& row : rows) {
    IUnknown* answer = nullptr;
    EXPECT_EQ(m_control->QueryInterface(row.first, reinterpret_cast<void**>(&answer)), row.second);
    if (answer != nullptr) answer->Release();
  }
}

std::wstring Documentation(ITypeLib* library, INT index) {
  BSTR name = nullptr, help = nullptr;
  library->GetDocumentation(index, &name, &help, nullptr, nullptr);
  const std::wstring text = std::wstring(name ? name : L"") + L"|" + (help ? help : L"");
  ::SysFreeString(name);
  ::SysFreeString(help);
  return text;
}

TEST_F(ControlComTest, TypeLibraryDescribesTheMembersInOrder) {
  CComPtrLite<ITypeInfo> dispatchInfo, vtableInfo;
  CComPtrLite<ITypeLib> library;
  UINT index = 0;
  ASSERT_EQ(m_control->GetTypeInfo(0, 0, dispatchInfo.Put()), S_OK);
  ASSERT_EQ(dispatchInfo->GetContainingTypeLib(library.Put(), &index), S_OK);
  std::vector<std::wstring> entries = {Documentation(library.Get(), -1)};
  for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) entries.push_back(Documentation(library.Get(), i));
  std::sort(entries.begin() + 1, entries.end());
  EXPECT_EQ(entries, (std::vector<std::wstring>{L"VELSETUPLib|VelSetup 1.0 Type Library",
                                                L"IVelSetupCtrl|IVelSetupCtrl Interface",
                                                L"VelSetupCtrl|VelSetupCtrl Class"}));
  TLIBATTR* libraryAttributes = nullptr;
  ASSERT_EQ(library->GetLibAttr(&libraryAttributes), S_OK);
  EXPECT_TRUE(::IsEqualGUID(libraryAttributes->guid, LIBID_VELSETUPLib));
  EXPECT_EQ(libraryAttributes->wMajorVerNum * 100 + libraryAttributes->wMinorVerNum, 100);
  EXPECT_EQ(libraryAttributes->lcid, 0x0409u);
  library->ReleaseTLibAttr(libraryAttributes);

  // The dual interface's vtable part: the nine members right after IDispatch's seven slots.
  HREFTYPE vtablePart = 0;
  ASSERT_EQ(dispatchInfo->GetRefTypeOfImplType(-1, &vtablePart), S_OK);
  ASSERT_EQ(dispatchInfo->GetRefTypeInfo(vtablePart, vtableInfo.Put()), S_OK);
  const std::vector<MemberRow> members = Members();
  for (UINT i = 0; i < members.size(); ++i) {
    FUNCDESC* function = nullptr;
    ASSERT_EQ(vtableInfo->GetFuncDesc(i, &function), S_OK);
    BSTR name = nullptr, help = nullptr;
    vtableInfo->GetDocumentation(function->memid, &name, &help, nullptr, nullptr);
    EXPECT_EQ(function->memid, static_cast<MEMBERID>(i + 1));
    EXPECT_EQ(function->invkind, members[i].flags == DISPATCH_METHOD ? INVOKE_FUNC : INVOKE_PROPERTYPUT);
    EXPECT_EQ(function->oVft, static_cast<SHORT>((7 + i) * sizeof(void*)));
    EXPECT_STREQ(name, members[i].name);
    EXPECT_STREQ(help, members[i].help);
    ::SysFreeString(name);
    ::SysFreeString(help);
    vtableInfo->ReleaseFuncDesc(function);
  }
  FUNCDESC* beyond = nullptr;
  EXPECT_NE(vtableInfo->GetFuncDesc(members.size(), &beyond), S_OK);
}

TEST_F(ControlComTest, InvokesEveryMemberByDispatchIdAndByName) {
  std::vector<MemberRow> members = Members();
  for (const bool byName : {false, true}) {
    for (DISPID id = 1; id <= 9; ++id) {
      MemberRow& row = members[id - 1];
      DISPID found = id;
      LPOLESTR name = const_cast<LPOLESTR>(row.name);
      if (byName) {
        ASSERT_EQ(m_control->GetIDsOfNames(IID_NULL, &name, 1, 0, &found), S_OK);
      }
      EXPECT_EQ(found, id);
      DISPID putId = DISPID_PROPERTYPUT;
      const bool put = row.flags == DISPATCH_PROPERTYPUT;
      DISPPARAMS params = {row.arguments.data(), put ? &putId : nullptr,
                           static_cast<UINT>(row.arguments.size()), put ? 1u : 0u};
      VARIANT result;
      ::VariantInit(&result);
      EXPECT_EQ(m_control->Invoke(found, IID_NULL, 0, row.flags, &params, &result, nullptr, nullptr), S_OK)
          << id;
      if (row.result != nullptr) {
        ASSERT_EQ(::VariantChangeType(&result, &result, 0, VT_BSTR), S_OK);
        EXPECT_STREQ(result.bstrVal, row.result) << id;
      }
      ::VariantClear(&result);
    }
  }
  for (MemberRow& row : members) {
    for (VARIANT& argument : row.arguments) ::VariantClear(&argument);
  }

  DISPPARAMS none = {};
  VARIANT result;
  ::VariantInit(&result);
  EXPECT_EQ(m_control->Invoke(2, IID_IUnknown, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
}

TEST_F(ControlComTest, NullArgumentsAreRefused) {
  IVelSetupCtrl* c = m_control.Get();
  const CBstr text(L"x");
  short result = 0;
  BSTR version = nullptr;
  const std::pair<std::function<HRESULT()>, HRESULT> rows[] = {
      {[&] { return c->put_InstallParam(nullptr); }, E_INVALIDARG},
      {[&] { return c->CheckObjInstall(nullptr, &result); }, E_INVALIDARG},
      {[&] { return c->CheckObjInstall(text.Get(), nullptr); }, E_POINTER},
      {[&] { return c->GetFileVersion(nullptr, &version); }, E_INVALIDARG},
      {[&] { return c->GetFileVersion(text.Get(), nullptr); }, E_POINTER},
      {[&] { return c->CheckUpdate(nullptr, text.Get(), &result); }, E_INVALIDARG},
      {[&] { return c->CheckUpdate(text.Get(), nullptr, &result); }, E_INVALIDARG},
      {[&] { return c->CheckUpdate(text.Get(), text.Get(), nullptr); }, E_POINTER},
      {[&] { return c->IsLoaded(nullptr); }, E_POINTER},
      {[&] { return c->StartUpdate(nullptr); }, E_POINTER},
      {[&] { return c->WaitUpdate(nullptr); }, E_POINTER},
      {[&] { return c->GetStatus(nullptr); }, E_POINTER},
      {[&] { return c->GetTypeInfoCount(nullptr); }, E_POINTER},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) EXPECT_EQ(rows[i].first(), rows[i].second) << i;
  EXPECT_EQ(version, nullptr);
}

// An object that aggregates the control and counts its own references.
class COuter final : public IUnknown {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (!::IsEqualIID(iid, IID_IUnknown)) return m_inner->QueryInterface(iid, object);
    *object = this;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
  STDMETHODIMP_(ULONG) Release() override { return --m_refs; }

  IUnknown* m_inner = nullptr;
  ULONG m_refs = 1;
};

TEST(ControlCom, AggregatesUnderAnOuterObject) {
  COuter outer;
  IDispatch* refused = nullptr;
  EXPECT_EQ(::CoCreateInstance(CLSID_VelSetupCtrl, &outer, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&refused)),
            CLASS_E_NOAGGREGATION);
  ASSERT_EQ(::CoCreateInstance(CLSID_VelSetupCtrl, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&outer.m_inner)),
            S_OK);
  IVelSetupCtrl* control = nullptr;
  ASSERT_EQ(outer.QueryInterface(IID_IVelSetupCtrl, reinterpret_cast<void**>(&control)), S_OK);
  EXPECT_EQ(outer.m_refs, 2u);  // the control's references are the outer object's
  IUnknown* identity = nullptr;
  ASSERT_EQ(control->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
  EXPECT_EQ(identity, &outer);
  identity->Release();
  control->Release();
  EXPECT_EQ(outer.m_refs, 1u);
  EXPECT_EQ(outer.m_inner->Release(), 0u);
}

TEST(ControlCom, LibraryEntryPointsAndResources) {
  const HMODULE library = ::LoadLibraryW(ControlDllPath().c_str());
  ASSERT_NE(library, nullptr);
  using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();
  using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using LocksFn = LONG(WINAPI*)();
  const auto canUnload = GetProcAddressAs<CanUnloadFn>(library, "DllCanUnloadNow");
  const auto getClassObject = GetProcAddressAs<GetClassObjectFn>(library, "DllGetClassObject");
  const auto locks = GetProcAddressAs<LocksFn>(library, "VelSetupObjectLocksForTesting");
  ASSERT_TRUE(canUnload && getClassObject && locks);
  EXPECT_EQ(canUnload(), S_FALSE);  // the library holds itself while loaded
  // Every object and factory lock counts while it lives, and no longer.
  const LONG before = locks();
  IClassFactory* factory = nullptr;
  EXPECT_EQ(getClassObject(IID_IUnknown, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            CLASS_E_CLASSNOTAVAILABLE);
  ASSERT_EQ(getClassObject(CLSID_VelSetupCtrl, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  EXPECT_EQ(locks(), before + 1);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(locks(), before + 2);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  IVelSetupCtrl* control = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IVelSetupCtrl, reinterpret_cast<void**>(&control)), S_OK);
  EXPECT_EQ(locks(), before + 2);
  EXPECT_EQ(control->Release(), 0u);
  EXPECT_EQ(locks(), before + 1);
  factory->Release();
  EXPECT_EQ(locks(), before);
  EXPECT_EQ(canUnload(), S_FALSE);

  char projectName[32] = {};
  EXPECT_GT(::LoadStringA(library, 100, projectName, sizeof projectName), 0);
  EXPECT_STREQ(projectName, "VelSetup");
  EXPECT_NE(::FindResourceA(library, MAKEINTRESOURCEA(202), RT_GROUP_ICON), nullptr);
  EXPECT_NE(::FindResourceA(library, MAKEINTRESOURCEA(1), "TYPELIB"), nullptr);
  const std::string path(BinFolder() + "\\VelSetup.dll");
  std::vector<char> block(::GetFileVersionInfoSizeA(path.c_str(), nullptr));
  ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
  const std::pair<const char*, const char*> strings[] = {
      {"FileVersion", "1, 0, 0, 10"},          {"ProductVersion", "1, 0, 0, 10"},
      {"FileDescription", "VelSetup Module"},  {"ProductName", "VelSetup Module"},
      {"Comments", "VelSetup Control Module"}, {"InternalName", "VelSetup"},
      {"OriginalFilename", "VelSetup.DLL"},    {"OLESelfRegister", ""},
  };
  for (const auto& row : strings) {
    char* value = nullptr;
    UINT length = 0;
    const std::string key = std::string("\\StringFileInfo\\040904b0\\") + row.first;
    ASSERT_TRUE(::VerQueryValueA(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &length))
        << row.first;
    EXPECT_STREQ(value, row.second);
  }
  ::FreeLibrary(library);
}

}  // namespace
