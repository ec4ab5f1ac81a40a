#include "RegistryEdits.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "SetupLog.h"
#include "SetupRun.h"
#include "UpdateSet.h"
#include "WinHandles.h"
#include "XmlLookup.h"

namespace {

// A registry fact as text: "HKCU\<key>" a key, "HKCU\<key>|<name>=<text>" a REG_SZ value ("=" alone:
// written without data), "|<name>=#<n>" a REG_DWORD, "|=..." the default value. A leading "!"
// denies the fact; "~HKCU\<key>" gives the key a subkey whose name has no ANSI form, which an ANSI
// enumeration reports under a name that opens nothing.
struct Fact {
  bool denied = false, wide = false;
  HKEY root = nullptr;
  std::string key;
  bool isValue = false;
  std::string name;
  DWORD type = REG_SZ;
  std::string bytes;
};

Fact Parse(std::string text) {
  Fact f;
  f.denied = text[0] == '!';
  f.wide = text[0] == '~';
  if (f.denied || f.wide) text.erase(0, 1);
  f.root = text.compare(0, 4, "HKLM") == 0   ? HKEY_LOCAL_MACHINE
           : text.compare(0, 4, "HKCU") == 0 ? HKEY_CURRENT_USER
                                             : HKEY_CLASSES_ROOT;
  const size_t bar = text.find('|');
  f.key = text.substr(5, bar == std::string::npos ? std::string::npos : bar - 5);
  if (bar == std::string::npos) return f;
  f.isValue = true;
  const size_t equals = text.find('=', bar);
  f.name = text.substr(bar + 1, equals == std::string::npos ? std::string::npos : equals - bar - 1);
  if (equals == std::string::npos) return f;
  const std::string data = text.substr(equals + 1);
  if (!data.empty() && data[0] == '#') {
    f.type = REG_DWORD;
    f.bytes = DwordValue(static_cast<DWORD>(std::stoll(data.substr(1))));
  } else {
    f.bytes = data.empty() ? data : TextValue(data);
  }
  return f;
}

void Establish(const std::string& text) {
  const Fact f = Parse(text);
  CScopedRegKey key;
  ASSERT_EQ(
      ::RegCreateKeyExA(f.root, f.key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Put(), nullptr),
      0);
  if (f.isValue) {
    ::RegSetValueExA(key.Get(), f.name.c_str(), 0, f.type, reinterpret_cast<const BYTE*>(f.bytes.data()),
                     static_cast<DWORD>(f.bytes.size()));
  }
  if (f.wide) {
    CScopedRegKey wide;
    ASSERT_EQ(::RegCreateKeyExW(key.Get(), L"a\x0E01z", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, wide.Put(),
                                nullptr),
              0);
  }
}

void Check(const std::string& text, const char* caseName) {
  const Fact f = Parse(text);
  if (!f.isValue) {
    EXPECT_NE(KeyExists(f.root, f.key), f.denied) << caseName << ": " << text;
    return;
  }
  DWORD type = REG_NONE;
  std::string bytes;
  const bool read = ReadValue(f.root, f.key, f.name.c_str(), type, bytes);
  EXPECT_NE(read, f.denied) << caseName << ": " << text;
  if (read && !f.denied) {
    EXPECT_EQ(type, f.type) << caseName << ": " << text;
    EXPECT_EQ(bytes, f.bytes) << caseName << ": " << text;
  }
}

// Through the wide functions, which also reach a subkey without an ANSI name.
void CleanTestKeys() {
  for (const char* key :
       {"HKLM\\Software\\VelSetupTest", "HKCU\\Software\\VelSetupTest", "HKCR\\VelSetupTest"}) {
    ::SHDeleteKeyW(Parse(key).root, Widen(Parse(key).key).c_str());
  }
}

struct Case {
  const char* name;
  const char* type;                            // TYPE of an ADDREG element; null: a DELREG element
  const char *root, *key, *valueName, *value;  // its children, absent when null
  std::vector<std::string> before;
  bool result;
  std::vector<std::string> after;
  std::vector<std::string> lines;  // every log line, without the program's mark; "*" ends a prefix
};

std::string Element(const Case& c) {
  std::string xml = c.type ? std::string("<ADDREG TYPE=\"") + c.type + "\">" : "<DELREG>";
  const std::pair<const char*, const char*> children[] = {
      {"ROOT", c.root}, {"KEY", c.key}, {"VALUE_NAME", c.valueName}, {"VALUE", c.value}};
  for (const auto& [tag, text] : children) {
    if (text) xml += std::string("<") + tag + ">" + text + "</" + tag + ">";
  }
  return xml + (c.type ? "</ADDREG>" : "</DELREG>");
}

void RunCases(const std::vector<Case>& cases) {
  // Present through every case: a deletion that reached a root would take it along.
  const std::string sentinel = "HKCU\\Software\\VelSetupTest\\Sentinel";
  for (const Case& c : cases) {
    CleanTestKeys();
    Establish(sentinel);
    for (const std::string& fact : c.before) Establish(fact);
    LogInit(0, 2);
    pugi::xml_document document;
    const std::string xml = Element(c);
    LoadMinimal(document, xml.data(), xml.size());
    CUpdateSet item;
    const pugi::xml_node element = document.first_child();
    EXPECT_EQ(c.type ? item.AddRegistry(element) : item.DeleteRegistry(element), c.result) << c.name;
    for (const std::string& fact : c.after) Check(fact, c.name);
    Check(sentinel, c.name);
    ExpectLogLines(c.lines, c.name);
  }
  CleanTestKeys();
}

const char kKey[] = "Software\\VelSetupTest\\E";

TEST(RegistryEditsTest, AddRegistry) {
  const std::string e = "Software\\VelSetupTest\\E";
  // clang-format off
  const std::vector<Case> cases = {
      {"a string below HKLM, the key created", "string", "HKLM", kKey, "N", "\xC6\xC4 a", {}, true,
       {"HKLM\\" + e + "|N=\xC6\xC4 a"}, {}},
      {"dword 12abc is 12", "DWORD", "HKCU", kKey, "N", "12abc", {"HKCU\\" + e + "|N=old"}, true,
       {"HKCU\\" + e + "|N=#12"}, {}},
      {"root hklm, no VALUE: written without data", "string", "hklm", kKey, "N", nullptr, {}, true,
       {"HKLM\\" + e + "|N="}, {}},
      {"no VALUE_NAME: the default value below HKCR", "string", "HKCR", "VelSetupTest", nullptr, "d", {}, true,
       {"HKCR\\VelSetupTest|=d"}, {}},
      {"another type", "binary", "HKCU", kKey, "N", "1", {}, false, {"!HKCU\\" + e}, {"[AddRegistry] Invalid Type"}},
      {"another root", "string", "HKEY_CURRENT_USER", kKey, "N", "1", {}, false, {"!HKCU\\" + e},
       {"[AddRegistry] Invalid Root"}},
      {"no KEY: nothing on the root", "string", "HKCU", nullptr, "VelSetupTestN", "1", {}, false,
       {"!HKCU\\|VelSetupTestN"}, {"[AddRegistry] RegSetValue(, VelSetupTestN) Failed, Error Code = 6"}},
      {"KEY of separators: nothing on the root", "string", "HKCU", "\\", "VelSetupTestN", "1", {}, false,
       {"!HKCU\\|VelSetupTestN"}, {"[AddRegistry] RegCreateKeyEx(\\) Failed, Error Code = 1010"}}};
  // clang-format on
  RunCases(cases);
}

TEST(RegistryEditsTest, DeleteRegistry) {
  const std::string e = "Software\\VelSetupTest\\E";
  const std::vector<std::string> tree = {"HKCR\\VelSetupTest|A=a", "HKCR\\VelSetupTest|B=b",
                                         "HKCR\\VelSetupTest\\x\\y|v=1", "HKCR\\VelSetupTest\\w"};
  const std::string refused = "[RegDeleteAllKey] Refused to delete a whole root ";
  const std::string failed = "[DeleteRegistry] RegDeleteAllKey(";
  // clang-format off
  const std::vector<Case> cases = {
      {"VALUE_NAME deletes only that value", nullptr, "HKCR", "VelSetupTest", "A", nullptr, tree, true,
       {"!HKCR\\VelSetupTest|A", "HKCR\\VelSetupTest|B=b", "HKCR\\VelSetupTest\\x\\y"}, {}},
      {"no VALUE_NAME: the key and every subkey", nullptr, "hkcr", "VelSetupTest", nullptr, nullptr, tree, true,
       {"!HKCR\\VelSetupTest"}, {}},
      {"a subkey below HKLM", nullptr, "HKLM", "Software\\VelSetupTest\\E\\a", nullptr, nullptr,
       {"HKLM\\" + e + "\\a\\b", "HKLM\\" + e + "\\c"}, true, {"!HKLM\\" + e + "\\a", "HKLM\\" + e + "\\c"}, {}},
      {"a missing value", nullptr, "HKCU", "Software", "VelSetupTestN", nullptr, {}, false, {},
       {"[DeleteRegistry] RegDeleteValue(VelSetupTestN) Failed, Error Code = 2"}},
      {"a missing key", nullptr, "HKCU", kKey, nullptr, nullptr, {}, false, {},
       {failed + e + ") Failed, Error Code = 2"}},
      {"another root", nullptr, "HKU", kKey, nullptr, nullptr, {}, false, {}, {"[DeleteRegistry] Invalid Root"}},
      {"no KEY: the root stays", nullptr, "HKCU", nullptr, nullptr, nullptr, {}, false, {},
       {refused + "()", failed + ") Failed, Error Code = 1010"}},
      {"an empty KEY: the root stays", nullptr, "HKCU", "", nullptr, nullptr, {}, false, {},
       {refused + "()", failed + ") Failed, Error Code = 1010"}},
      {"a KEY of separators: the root stays", nullptr, "HKCU", "\\\\", nullptr, nullptr, {}, false, {},
       {refused + "(\\\\)", failed + "\\\\) Failed, Error Code = 1010"}},
      // The key cannot go while that subkey stays; the deletion ends and reports it.
      {"a subkey that cannot be deleted ends the deletion", nullptr, "HKCU", kKey, nullptr, nullptr,
       {"HKCU\\" + e + "\\b", "~HKCU\\" + e}, false, {"HKCU\\" + e}, {failed + e + ") Failed, Error Code = *"}}};
  // clang-format on
  RunCases(cases);
  // DELETEREGKEY reaches RegDeleteAllKey directly: a root path is refused there too.
  for (const char* path : {static_cast<const char*>(nullptr), "", "\\"}) {
    EXPECT_EQ(RegDeleteAllKey(HKEY_CURRENT_USER, path), ERROR_BADKEY);
  }
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software"));
}

}  // namespace
