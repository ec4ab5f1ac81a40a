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

// The key's subkeys in order, then its number of values.
std::vector<std::wstring> Contents(const std::wstring& key) {
  std::vector<std::wstring> names;
  CScopedRegKey opened;
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, opened.Put()) != ERROR_SUCCESS)
    return names;
  wchar_t name[256];
  for (DWORD i = 0, length = 256;
       ::RegEnumKeyExW(opened.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, length = 256) {
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  DWORD values = 0;
  ::RegQueryInfoKeyW(opened.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
  names.push_back(std::to_wstring(values) + L" values");
  return names;
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
  // What the second registration must replace whole.
  for (const wchar_t* part : {L"", L"\\Programmable", L"\\ToolboxBitmap32"}) {
    ::SHSetValueW(HKEY_CLASSES_ROOT, (kClassKey + part + L"\\Stray").c_str(), L"Stray", REG_SZ, L"x", 4);
    ::SHSetValueW(HKEY_CLASSES_ROOT, (kClassKey + part).c_str(), L"Stray", REG_SZ, L"x", 4);
  }
  ASSERT_TRUE(RegisterControl(false));

  for (const ValueRow& row : RegisteredValues()) EXPECT_EQ(ValueOf(row.key, row.name), row.value) << row.key;
  const std::pair<std::wstring, std::vector<std::wstring>> contents[] = {
      {kClassKey,
       {L"Implemented Categories", L"InprocServer32", L"ProgID", L"Programmable", L"ToolboxBitmap32",
        L"TypeLib", L"VersionIndependentProgID", L"1 values"}},
      {kClassKey + L"\\Implemented Categories",
       {L"{7DD95801-9882-11CF-9FA9-00AA006C42C4}", L"{7DD95802-9882-11CF-9FA9-00AA006C42C4}", L"0 values"}},
      {kClassKey + L"\\Programmable", {L"0 values"}},
      {kClassKey + L"\\ToolboxBitmap32", {L"1 values"}},
  };
  for (const auto& row : contents) EXPECT_EQ(Contents(row.first), row.second) << row.first;
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
