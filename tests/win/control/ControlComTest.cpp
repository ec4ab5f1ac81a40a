// The control as a COM object, from C++: creation, IDispatch, the type library, aggregation, the
// library's entry points and every member's answers.
#include <gtest/gtest.h>
#include <ocidl.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "ControlTestSupport.h"
#include "SetupRun.h"

namespace {

const wchar_t kTestDll[] = L"VelSetupCtlTest.dll";   // a copy of the control: version 1,0,0,10
const wchar_t kTestText[] = L"VelSetupCtlTest.txt";  // no version resource

TEST(ControlCom, AnswersItsThreeInterfacesOnly) {
  CComPtrLite<IUnknown> object;
  ASSERT_EQ(::CoCreateInstance(CLSID_VelSetupCtrl, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(object.Put())),
            S_OK);
  const std::pair<IID, HRESULT> rows[] = {
      {IID_IUnknown, S_OK},
      {IID_IDispatch, S_OK},
      {IID_IVelSetupCtrl, S_OK},
      {IID_IPersist, E_NOINTERFACE},
      {IID_IClassFactory, E_NOINTERFACE},
      {IID_IProvideClassInfo, E_NOINTERFACE},
      {IID_IObjectWithSite, E_NOINTERFACE},
      {IID_IOleObject, E_NOINTERFACE},
  };
  for (const auto& row : rows) {
    IUnknown* answer = nullptr;
    EXPECT_EQ(object->QueryInterface(row.first, reinterpret_cast<void**>(&answer)), row.second);
    if (answer != nullptr) answer->Release();
  }
}

struct MemberRow {
  DISPID id;
  const wchar_t* name;
  const wchar_t* help;
  INVOKEKIND kind;
};

const MemberRow kMembers[] = {
    {1, L"InstallParam", L"property InstallParam", INVOKE_PROPERTYPUT},
    {2, L"IsLoaded", L"method IsLoaded", INVOKE_FUNC},
    {3, L"CheckObjInstall", L"method CheckObjInstall", INVOKE_FUNC},
    {4, L"GetFileVersion", L"method GetFileVersion", INVOKE_FUNC},
    {5, L"CheckUpdate", L"method CheckUpdate", INVOKE_FUNC},
    {6, L"StartUpdate", L"method StartUpdate", INVOKE_FUNC},
    {7, L"WaitUpdate", L"method WaitUpdate", INVOKE_FUNC},
    {8, L"GetStatus", L"method GetStatus", INVOKE_FUNC},
    {9, L"TestMode", L"property TestMode", INVOKE_PROPERTYPUT},
};

std::wstring Documentation(ITypeLib* library, INT index) {
  BSTR name = nullptr, help = nullptr;
  library->GetDocumentation(index, &name, &help, nullptr, nullptr);
  const std::wstring text = std::wstring(name ? name : L"") + L"|" + (help ? help : L"");
  ::SysFreeString(name);
  ::SysFreeString(help);
  return text;
}

TEST(ControlCom, TypeLibraryDescribesTheMembersInOrder) {
  const CComPtrLite<IVelSetupCtrl> control = CreateControl();
  CComPtrLite<ITypeInfo> dispatchInfo, vtableInfo;
  ASSERT_EQ(control->GetTypeInfo(0, 0, dispatchInfo.Put()), S_OK);
  CComPtrLite<ITypeLib> library;
  UINT index = 0;
  ASSERT_EQ(dispatchInfo->GetContainingTypeLib(library.Put(), &index), S_OK);
  EXPECT_EQ(Documentation(library.Get(), -1), L"VELSETUPLib|VelSetup 1.0 Type Library");
  TLIBATTR* libraryAttributes = nullptr;
  ASSERT_EQ(library->GetLibAttr(&libraryAttributes), S_OK);
  EXPECT_TRUE(::IsEqualGUID(libraryAttributes->guid, LIBID_VELSETUPLib));
  EXPECT_EQ(libraryAttributes->wMajorVerNum * 100 + libraryAttributes->wMinorVerNum, 100);
  EXPECT_EQ(libraryAttributes->lcid, 0x0409u);
  library->ReleaseTLibAttr(libraryAttributes);
  CComPtrLite<ITypeInfo> classInfo;
  ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_VelSetupCtrl, classInfo.Put()), S_OK);
  std::vector<std::wstring> entries;
  for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) entries.push_back(Documentation(library.Get(), i));
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::wstring>{L"IVelSetupCtrl|IVelSetupCtrl Interface",
                                                L"VelSetupCtrl|VelSetupCtrl Class"}));

  // The dual interface's vtable part: the nine members right after IDispatch's seven slots.
  HREFTYPE vtablePart = 0;
  ASSERT_EQ(dispatchInfo->GetRefTypeOfImplType(-1, &vtablePart), S_OK);
  ASSERT_EQ(dispatchInfo->GetRefTypeInfo(vtablePart, vtableInfo.Put()), S_OK);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(vtableInfo->GetTypeAttr(&attributes), S_OK);
  EXPECT_EQ(attributes->cFuncs, 9);
  EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FDUAL);
  EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
  vtableInfo->ReleaseTypeAttr(attributes);
  for (UINT i = 0; i < 9; ++i) {
    FUNCDESC* function = nullptr;
    ASSERT_EQ(vtableInfo->GetFuncDesc(i, &function), S_OK);
    BSTR name = nullptr, help = nullptr;
    vtableInfo->GetDocumentation(function->memid, &name, &help, nullptr, nullptr);
    EXPECT_EQ(function->memid, kMembers[i].id);
    EXPECT_EQ(function->invkind, kMembers[i].kind) << kMembers[i].name;
    EXPECT_EQ(function->oVft, static_cast<SHORT>((7 + i) * sizeof(void*))) << kMembers[i].name;
    EXPECT_STREQ(name, kMembers[i].name);
    EXPECT_STREQ(help, kMembers[i].help);
    ::SysFreeString(name);
    ::SysFreeString(help);
    vtableInfo->ReleaseFuncDesc(function);
  }
}

// The system folder holds a versioned copy of the control, a text file, and no VelSetup.exe.
class ControlMembersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::DeleteFileA((SystemFolder() + "VelSetup.exe").c_str());
    for (const std::string& folder : Folders()) {
      ASSERT_TRUE(
          ::CopyFileW(ControlDllPath().c_str(), Widen949(folder + "VelSetupCtlTest.dll").c_str(), FALSE));
      ASSERT_TRUE(WriteFileBytes(folder + "VelSetupCtlTest.txt", "text"));
    }
  }
  void TearDown() override {
    for (const std::string& folder : Folders()) {
      ::DeleteFileA((folder + "VelSetupCtlTest.dll").c_str());
      ::DeleteFileA((folder + "VelSetupCtlTest.txt").c_str());
    }
  }
  static std::vector<std::string> Folders() {
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    return {SystemFolder(), std::string(windows) + "\\"};
  }

  CComPtrLite<IVelSetupCtrl> m_control = CreateControl();
};

struct InvokeRow {
  DISPID id;
  WORD flags;
  std::vector<std::wstring> arguments;  // in the order a script writes them; "#5" is the number 5
  std::wstring result;                  // empty: none
};

TEST_F(ControlMembersTest, InvokesEveryMemberByDispatchIdAndByName) {
  const std::wstring dll = Widen949(SystemFolder()) + kTestDll;
  const InvokeRow rows[] = {
      {1, DISPATCH_PROPERTYPUT, {L"<PARAM/>"}, L""},
      {2, DISPATCH_METHOD, {}, L"1"},
      {3, DISPATCH_METHOD, {kControlClsid}, L"1"},
      {4, DISPATCH_METHOD, {dll}, L"1,0,0,10"},
      {5, DISPATCH_METHOD, {dll, L"1,0,0,11"}, L"1"},
      {6, DISPATCH_METHOD, {}, L"4"},  // no VelSetup.exe in the system folder
      {7, DISPATCH_METHOD, {}, L"4"},
      {8, DISPATCH_METHOD, {}, L"0"},
      {9, DISPATCH_PROPERTYPUT, {L"#5"}, L""},
  };
  for (const bool byName : {false, true}) {
    for (const InvokeRow& row : rows) {
      DISPID id = row.id;
      if (byName) {
        LPOLESTR name = const_cast<LPOLESTR>(kMembers[row.id - 1].name);
        ASSERT_EQ(m_control->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
        EXPECT_EQ(id, row.id);
      }
      std::vector<VARIANT> arguments(row.arguments.size());
      for (size_t i = 0; i < arguments.size(); ++i) {
        VARIANT& argument = arguments[arguments.size() - 1 - i];  // last argument first
        const std::wstring& text = row.arguments[i];
        if (text[0] == L'#') {
          argument.vt = VT_I4;
          argument.lVal = std::stol(text.substr(1));
        } else {
          argument.vt = VT_BSTR;
          argument.bstrVal = ::SysAllocString(text.c_str());
        }
      }
      DISPID putId = DISPID_PROPERTYPUT;
      DISPPARAMS params = {arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
      if (row.flags == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
      }
      VARIANT result;
      ::VariantInit(&result);
      EXPECT_EQ(m_control->Invoke(id, IID_NULL, 0, row.flags, &params, &result, nullptr, nullptr), S_OK)
          << id;
      if (!row.result.empty()) {
        ASSERT_EQ(::VariantChangeType(&result, &result, 0, VT_BSTR), S_OK);
        EXPECT_STREQ(result.bstrVal, row.result.c_str()) << id;
      }
      ::VariantClear(&result);
      for (VARIANT& argument : arguments) ::VariantClear(&argument);
    }
  }

  // A failing member reaches the script as an exception carrying its code; properties are write-only.
  VARIANT empty;
  empty.vt = VT_BSTR;
  empty.bstrVal = ::SysAllocString(L"");
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS put = {&empty, &putId, 1, 1};
  EXCEPINFO exception = {};
  EXPECT_EQ(m_control->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, &exception, nullptr),
            DISP_E_EXCEPTION);
  EXPECT_EQ(exception.scode, E_INVALIDARG);
  ::SysFreeString(exception.bstrSource);
  ::SysFreeString(exception.bstrDescription);
  ::SysFreeString(exception.bstrHelpFile);
  ::VariantClear(&empty);
  DISPPARAMS none = {};
  VARIANT result;
  ::VariantInit(&result);
  EXPECT_NE(m_control->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
  EXPECT_EQ(m_control->Invoke(2, IID_IUnknown, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
            DISP_E_UNKNOWNINTERFACE);
}

TEST_F(ControlMembersTest, NullArgumentsAreRefused) {
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

struct ObjectRow {
  std::wstring id;
  bool killed;
  HRESULT hr;
  short result;
};

TEST_F(ControlMembersTest, CheckObjInstallAnswersForClassIdentifiers) {
  const std::wstring korean36(36, L'\xAC00');  // 72 bytes in code page 949
  const ObjectRow rows[] = {
      {kControlClsid, false, S_OK, 1},
      {L"dc5a1831-dd51-47dc-b476-d9bb6a135c13", false, S_OK, 1},
      {kOtherClassId, false, S_OK, 1},
      {kOtherClassId, true, S_OK, 0},  // disabled in the browser: not created
      {L"12345678-1234-1234-1234-123456789ABC", false, S_OK, 0},
      {L"zzzzzzzz-zzzz-zzzz-zzzz-zzzzzzzzzzzz", false, S_OK, 2},
      {L"VelSetup.VelSetupCtrl", false, S_OK, 2},
      {std::wstring(18, L'\xAC00'), false, S_OK, 2},
      {std::wstring(L"{") + kControlClsid + L"}", false, E_INVALIDARG, 0},
      {korean36, false, E_INVALIDARG, 0},
      {L"", false, E_INVALIDARG, 0},
      {std::wstring(L"DC5A1831-DD51-47DC-B476-D9BB6A135C13\0", 37), false, E_INVALIDARG, 0},
  };
  for (const ObjectRow& row : rows) {
    const std::unique_ptr<CKillBit> killBit(row.killed ? new CKillBit(row.id) : nullptr);
    const CBstr id(row.id);
    short result = -1;
    EXPECT_EQ(m_control->CheckObjInstall(id.Get(), &result), row.hr) << row.id.size();
    if (row.hr == S_OK) {
      EXPECT_EQ(result, row.result) << row.id.size();
    }
  }
}

struct FileRow {
  std::wstring name;
  std::wstring wanted;  // for CheckUpdate
  const wchar_t* version;
  short update;
};

TEST_F(ControlMembersTest, FileQueriesReadLocalFilesOnly) {
  const std::wstring system = Widen949(SystemFolder());
  const std::wstring dll = system + kTestDll;
  const std::wstring spaces(300, L' ');
  // Fits before expansion, not after: cut to 259 bytes it would name the copy in the system folder.
  std::wstring grows = std::wstring(L"[DOWNLOADED]..\\system32\\") + kTestDll;
  grows += std::wstring(259 - grows.size(), L' ');
  const FileRow rows[] = {
      {L"[SYSTEM]VelSetupCtlTest.dll", L"1,0,0,10", L"1,0,0,10", 0},
      {L"[system]velsetupctltest.dll", L"1,0,0,9", L"1,0,0,10", 0},
      {L"[SYSTEM]\\VelSetupCtlTest.dll", L"1,0,0,11", L"1,0,0,10", 1},
      {L"[Windows]\\VelSetupCtlTest.dll", L"1, 0, 0, 10", L"1,0,0,10", 0},
      {L"[WINDOWS]/VelSetupCtlTest.dll", L"1", L"1,0,0,10", 1},  // read as 1,1,1,1
      {L"[WINDOWS]/VelSetupCtlTest.dll", L"0,9", L"1,0,0,10", 0},
      {dll, L"2,0,0,0", L"1,0,0,10", 1},
      {L"[SYSTEM]VelSetupCtlTest.txt", L"0,0,0,0", L"0,0,0,0", 1},  // no version resource
      {L"[SYSTEM]Missing.dll", L"0,0,0,0", L"0,0,0,0", 1},
      {L"[SYSTEM]\xAC00\xB098.dll", L"1,0,0,0", L"0,0,0,0", 1},
      {L"\\\\?\\" + dll, L"1,0,0,0", L"0,0,0,0", 1},
      {L"//?/" + dll, L"1,0,0,0", L"0,0,0,0", 1},
      {L"\\\\.\\" + dll, L"1,0,0,0", L"0,0,0,0", 1},
      {L"\\??\\" + dll, L"1,0,0,0", L"0,0,0,0", 1},
      {L"\\\\127.0.0.1\\C$\\windows\\system32\\VelSetupCtlTest.dll", L"1,0,0,0", L"0,0,0,0", 1},
      {L"[SYSTEM]NUL", L"1,0,0,0", L"0,0,0,0", 1},
      {dll + spaces, L"1,0,0,0", L"0,0,0,0", 1},
      {grows, L"1,0,0,0", L"0,0,0,0", 1},
      {dll, L"1,0,0,0" + spaces, L"1,0,0,10", 1},
      {dll + std::wstring(1, L'\0'), L"1,0,0,0", L"0,0,0,0", 1},
  };
  for (const FileRow& row : rows) {
    const CBstr name(row.name), wanted(row.wanted);
    BSTR version = nullptr;
    short update = -1;
    EXPECT_EQ(m_control->GetFileVersion(name.Get(), &version), S_OK);
    EXPECT_STREQ(version, row.version) << row.name.size();
    ::SysFreeString(version);
    EXPECT_EQ(m_control->CheckUpdate(name.Get(), wanted.Get(), &update), S_OK);
    EXPECT_EQ(update, row.update) << row.name.size() << " " << row.wanted.size();
  }
  const CBstr empty(L""), name(dll);
  short update = -1;
  EXPECT_EQ(m_control->CheckUpdate(name.Get(), empty.Get(), &update), E_INVALIDARG);
  EXPECT_EQ(m_control->CheckUpdate(empty.Get(), name.Get(), &update), E_INVALIDARG);
}

TEST_F(ControlMembersTest, InstallParamIsBoundedAfterConversion) {
  const std::pair<std::wstring, HRESULT> rows[] = {
      {std::wstring(4095, L'a'), S_OK},
      {std::wstring(4096, L'a'), E_INVALIDARG},
      {std::wstring(2047, L'\xAC00') + L"a", S_OK},  // 4,095 bytes
      {std::wstring(2048, L'\xAC00'), E_INVALIDARG},
      {std::wstring(L"<PARAM>\0</PARAM>", 16), E_INVALIDARG},
      {L"", E_INVALIDARG},
  };
  for (const auto& row : rows) {
    const CBstr param(row.first);
    EXPECT_EQ(m_control->put_InstallParam(param.Get()), row.second) << row.first.size();
  }
  EXPECT_EQ(m_control->put_TestMode(-7), S_OK);
  short loaded = 0;
  EXPECT_EQ(m_control->IsLoaded(&loaded), S_OK);
  EXPECT_EQ(loaded, 1);
}

// A test object that aggregates the control.
class COuter final : public IUnknown {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (::IsEqualIID(iid, IID_IUnknown)) {
      *object = this;
      AddRef();
      return S_OK;
    }
    return m_inner->QueryInterface(iid, object);
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
  short loaded = 0;
  EXPECT_EQ(control->IsLoaded(&loaded), S_OK);
  control->Release();
  EXPECT_EQ(outer.m_refs, 1u);
  EXPECT_EQ(outer.m_inner->Release(), 0u);
}

TEST(ControlCom, LibraryEntryPoints) {
  const HMODULE library = ::LoadLibraryW(ControlDllPath().c_str());
  ASSERT_NE(library, nullptr);
  using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();
  using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  const auto canUnload = GetProcAddressAs<CanUnloadFn>(library, "DllCanUnloadNow");
  const auto getClassObject = GetProcAddressAs<GetClassObjectFn>(library, "DllGetClassObject");
  ASSERT_TRUE(canUnload && getClassObject);
  EXPECT_EQ(canUnload(), S_FALSE);  // the library holds itself while loaded
  IClassFactory* factory = nullptr;
  EXPECT_EQ(getClassObject(IID_IUnknown, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            CLASS_E_CLASSNOTAVAILABLE);
  ASSERT_EQ(getClassObject(CLSID_VelSetupCtrl, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  IVelSetupCtrl* control = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IVelSetupCtrl, reinterpret_cast<void**>(&control)), S_OK);
  EXPECT_EQ(control->Release(), 0u);
  factory->Release();
  EXPECT_EQ(canUnload(), S_FALSE);
  ::FreeLibrary(library);
}

}  // namespace
