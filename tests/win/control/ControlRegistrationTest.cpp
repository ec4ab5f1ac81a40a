// Registration with the system's regsvr32: the keys written, replaced and removed.
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>

#include "ControlTestSupport.h"
#include "WinHandles.h"

namespace {

const std::wstring kClassKey = std::wstring(L"CLSID\\{") + kControlClsid + L"}";
const wchar_t kLibraryKey[] = L"TypeLib\\{7C4724DB-E957-4524-8AEE-B39CC49D01E1}";
const wchar_t kInterfaceKey[] = L"Interface\\{84362C27-4D1D-42F8-B99D-8DE73F1632F2}";
const wchar_t kScriptingCategory[] = L"Component Categories\\{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
const wchar_t kInitializingCategory[] = L"Component Categories\\{7DD95802-9882-11CF-9FA9-00AA006C42C4}";

bool KeyExists(const std::wstring& key) {
  CScopedRegKey opened;
  return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, opened.Put()) == ERROR_SUCCESS;
}

// The value's text; "<none>" when the key or value is missing.
std::wstring ValueOf(const std::wstring& key, const wchar_t* name) {
  wchar_t value[1024] = {};
  DWORD size = sizeof value;
  if (::SHGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, nullptr, value, &size) != ERROR_SUCCESS)
    return L"<none>";
  return value;
}

std::vector<std::wstring> SubkeysOf(const std::wstring& key) {
  std::vector<std::wstring> names;
  CScopedRegKey opened;
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, opened.Put()) != ERROR_SUCCESS)
    return names;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (::RegEnumKeyExW(opened.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    names.push_back(name);
  }
  return names;
}

DWORD ValueCount(const std::wstring& key) {
  CScopedRegKey opened;
  DWORD values = 0;
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, opened.Put()) == ERROR_SUCCESS) {
    ::RegQueryInfoKeyW(opened.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                       nullptr, nullptr, nullptr);
  }
  return values;
}

void AddStray(const std::wstring& key) {
  CScopedRegKey opened;
  ::RegCreateKeyExW(HKEY_CLASSES_ROOT, (key + L"\\Stray").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                    opened.Put(), nullptr);
  ::SHSetValueW(HKEY_CLASSES_ROOT, key.c_str(), L"Stray", REG_SZ, L"x", 4);
}

struct ValueRow {
  std::wstring key;
  const wchar_t* name;
  std::wstring value;
};

std::vector<ValueRow> RegisteredValues() {
  const std::wstring clsid = std::wstring(L"{") + kControlClsid + L"}";
  const std::wstring module = ControlDllPath();
  return {
      {L"VelSetup.VelSetupCtrl.1", nullptr, L"VelSetupCtrl1010 Class"},
      {L"VelSetup.VelSetupCtrl.1\\CLSID", nullptr, clsid},
      {L"VelSetup.VelSetupCtrl", nullptr, L"VelSetupCtrl1010 Class"},
      {L"VelSetup.VelSetupCtrl\\CLSID", nullptr, clsid},
      {L"VelSetup.VelSetupCtrl\\CurVer", nullptr, L"VelSetup.VelSetupCtrl.1"},
      {kClassKey, nullptr, L"VelSetupCtrl1010 Class"},
      {kClassKey + L"\\ProgID", nullptr, L"VelSetup.VelSetupCtrl.1"},
      {kClassKey + L"\\VersionIndependentProgID", nullptr, L"VelSetup.VelSetupCtrl"},
      {kClassKey + L"\\ToolboxBitmap32", nullptr, module + L", 202"},
      {kClassKey + L"\\InprocServer32", nullptr, module},
      {kClassKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {kClassKey + L"\\TypeLib", nullptr, L"{7C4724DB-E957-4524-8AEE-B39CC49D01E1}"},
      {std::wstring(kLibraryKey) + L"\\1.0", nullptr, L"VelSetup 1.0 Type Library"},
      {std::wstring(kLibraryKey) + (sizeof(void*) == 8 ? L"\\1.0\\409\\win64" : L"\\1.0\\409\\win32"),
       nullptr, module},
      {kScriptingCategory, L"409", L"Controls safely scriptable!"},
      {kInitializingCategory, L"409", L"Controls safely initializable from persistent data!"},
  };
}

// Registration is left in place at the end of each case, as the other tests need it.
class ControlRegistrationTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_TRUE(RegisterControl(false)); }
};

TEST_F(ControlRegistrationTest, RegisteringTwiceLeavesOneClassKey) {
  ASSERT_TRUE(RegisterControl(false));
  for (const wchar_t* part : {L"", L"\\Programmable", L"\\ToolboxBitmap32"}) AddStray(kClassKey + part);
  ASSERT_TRUE(RegisterControl(false));

  for (const ValueRow& row : RegisteredValues()) {
    EXPECT_EQ(ValueOf(row.key, row.name), row.value) << row.key;
  }
  std::vector<std::wstring> subkeys = SubkeysOf(kClassKey);
  std::sort(subkeys.begin(), subkeys.end());
  EXPECT_EQ(subkeys, (std::vector<std::wstring>{L"Implemented Categories", L"InprocServer32", L"ProgID",
                                                L"Programmable", L"ToolboxBitmap32", L"TypeLib",
                                                L"VersionIndependentProgID"}));
  EXPECT_EQ(ValueCount(kClassKey), 1u);
  EXPECT_TRUE(SubkeysOf(kClassKey + L"\\Programmable").empty());
  EXPECT_EQ(ValueCount(kClassKey + L"\\Programmable"), 0u);
  EXPECT_EQ(ValueCount(kClassKey + L"\\ToolboxBitmap32"), 1u);
  std::vector<std::wstring> categories = SubkeysOf(kClassKey + L"\\Implemented Categories");
  std::sort(categories.begin(), categories.end());
  EXPECT_EQ(categories, (std::vector<std::wstring>{L"{7DD95801-9882-11CF-9FA9-00AA006C42C4}",
                                                   L"{7DD95802-9882-11CF-9FA9-00AA006C42C4}"}));
}

TEST_F(ControlRegistrationTest, UnregisteringRemovesItsKeysAndKeepsTheCategories) {
  ASSERT_TRUE(RegisterControl(false));
  ASSERT_TRUE(RegisterControl(true));
  for (const std::wstring& key :
       {std::wstring(L"VelSetup.VelSetupCtrl.1"), std::wstring(L"VelSetup.VelSetupCtrl"), kClassKey,
        std::wstring(kLibraryKey), std::wstring(kInterfaceKey)}) {
    EXPECT_FALSE(KeyExists(key)) << key;
  }
  EXPECT_TRUE(KeyExists(L"CLSID"));
  EXPECT_EQ(ValueOf(kScriptingCategory, L"409"), L"Controls safely scriptable!");
  EXPECT_EQ(ValueOf(kInitializingCategory, L"409"), L"Controls safely initializable from persistent data!");
}

}  // namespace
