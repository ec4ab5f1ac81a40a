#include "RegistryEdits.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "SetupLog.h"
#include "UpdateSet.h"
#include "WinHandles.h"
#include "XmlLookup.h"

namespace {

// The keys of these tests, each removed before and after every case.
constexpr char kLmKey[] = "Software\\VelSetupTest\\Edits";
constexpr char kCuKey[] = "Software\\VelSetupTest\\Edits";
constexpr char kCrKey[] = "VelSetupTest.Edits";
// Present through every case: a deletion that reached the root would take it along.
constexpr char kSentinel[] = "Software\\VelSetupTest\\Sentinel";

// One fact about the registry: set before a case, or expected after it.
struct Fact {
  enum Kind { kKey, kNoKey, kValue, kNoValue, kWideSubkey } kind;
  HKEY root;
  std::string key;
  const char* name = nullptr;  // value name; "" is the default value
  DWORD type = REG_NONE;
  std::string bytes;
};
Fact Key(HKEY root, const std::string& key) { return {Fact::kKey, root, key, nullptr, REG_NONE, {}}; }
Fact NoKey(HKEY root, const std::string& key) { return {Fact::kNoKey, root, key, nullptr, REG_NONE, {}}; }
Fact Value(HKEY root, const std::string& key, const char* name, DWORD type, const std::string& bytes) {
  return {Fact::kValue, root, key, name, type, bytes};
}
Fact Text(HKEY root, const std::string& key, const char* name, const std::string& text) {
  return Value(root, key, name, REG_SZ, TextValue(text));
}
Fact Dword(HKEY root, const std::string& key, const char* name, DWORD value) {
  return Value(root, key, name, REG_DWORD, DwordValue(value));
}
Fact NoValue(HKEY root, const std::string& key, const char* name) {
  return {Fact::kNoValue, root, key, name, REG_NONE, {}};
}
// A subkey whose name has no form in the ANSI code page: it cannot be opened or deleted by the
// name an ANSI enumeration gives.
Fact WideSubkey(HKEY root, const std::string& key) {
  return {Fact::kWideSubkey, root, key, nullptr, REG_NONE, {}};
}

struct Case {
  const char* name;
  std::string element;  // one ADDREG or DELREG element
  std::vector<Fact> before;
  bool result;
  std::vector<Fact> after;
  std::vector<std::string> lines;  // every log line, without the program's mark; "*" ends a prefix
};

void ExpectLines(const std::vector<std::string>& expected, const char* caseName) {
  const std::vector<std::string> lines = LogMessages();
  ASSERT_EQ(lines.size(), expected.size()) << caseName;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& want = expected[i];
    if (!want.empty() && want.back() == '*') {
      EXPECT_EQ(lines[i].substr(0, want.size() - 1), want.substr(0, want.size() - 1)) << caseName;
    } else {
      EXPECT_EQ(lines[i], want) << caseName;
    }
  }
}

void Establish(const Fact& fact) {
  CScopedRegKey key;
  ASSERT_EQ(::RegCreateKeyExA(fact.root, fact.key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Put(),
                              nullptr),
            ERROR_SUCCESS);
  if (fact.kind == Fact::kValue) {
    ASSERT_EQ(
        ::RegSetValueExA(key.Get(), fact.name, 0, fact.type, reinterpret_cast<const BYTE*>(fact.bytes.data()),
                         static_cast<DWORD>(fact.bytes.size())),
        ERROR_SUCCESS);
  } else if (fact.kind == Fact::kWideSubkey) {
    CScopedRegKey wide;
    ASSERT_EQ(::RegCreateKeyExW(key.Get(), L"a\x0E01z", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, wide.Put(),
                                nullptr),
              ERROR_SUCCESS);
  }
}

void Check(const Fact& fact, const char* caseName) {
  DWORD type = REG_NONE;
  std::string bytes;
  switch (fact.kind) {
    case Fact::kKey:
      EXPECT_TRUE(KeyExists(fact.root, fact.key)) << caseName << ": " << fact.key;
      break;
    case Fact::kNoKey:
      EXPECT_FALSE(KeyExists(fact.root, fact.key)) << caseName << ": " << fact.key;
      break;
    case Fact::kValue:
      ASSERT_TRUE(ReadValue(fact.root, fact.key, fact.name, type, bytes)) << caseName << ": " << fact.name;
      EXPECT_EQ(type, fact.type) << caseName << ": " << fact.name;
      EXPECT_EQ(bytes, fact.bytes) << caseName << ": " << fact.name;
      break;
    case Fact::kNoValue:
      EXPECT_FALSE(ReadValue(fact.root, fact.key, fact.name, type, bytes)) << caseName << ": " << fact.name;
      break;
    case Fact::kWideSubkey:
      break;
  }
}

// Through the wide functions, which also reach a subkey that has no ANSI name.
void DeleteTree(HKEY root, const char* key) {
  const std::wstring wide(key, key + strlen(key));
  ::SHDeleteKeyW(root, wide.c_str());
}

void CleanTestKeys() {
  DeleteTree(HKEY_LOCAL_MACHINE, kLmKey);
  DeleteTree(HKEY_CURRENT_USER, kCuKey);
  DeleteTree(HKEY_CLASSES_ROOT, kCrKey);
}

void RunCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    CleanTestKeys();
    Establish(Key(HKEY_CURRENT_USER, kSentinel));
    for (const Fact& fact : c.before) Establish(fact);
    LogInit(0, 2);

    pugi::xml_document document;
    LoadMinimal(document, c.element.data(), c.element.size());
    const pugi::xml_node element = document.first_child();
    CUpdateSet item;
    const bool result =
        std::string(element.name()) == "ADDREG" ? item.AddRegistry(element) : item.DeleteRegistry(element);
    EXPECT_EQ(result, c.result) << c.name;
    for (const Fact& fact : c.after) Check(fact, c.name);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kSentinel)) << c.name;
    ExpectLines(c.lines, c.name);
  }
  CleanTestKeys();
  DeleteTree(HKEY_CURRENT_USER, "Software\\VelSetupTest");
}

std::string Add(const char* type, const std::string& children) {
  return std::string("<ADDREG") + (type ? std::string(" TYPE=\"") + type + "\"" : "") + ">" + children +
         "</ADDREG>";
}
std::string Del(const std::string& children) { return "<DELREG>" + children + "</DELREG>"; }

const HKEY LM = HKEY_LOCAL_MACHINE;
const HKEY CU = HKEY_CURRENT_USER;
const HKEY CR = HKEY_CLASSES_ROOT;

TEST(RegistryEditsTest, AddRegistry) {
  const std::string lm = kLmKey, cu = kCuKey, cr = kCrKey;
  RunCases({
      {"string below HKLM, key created",
       Add("string", "<ROOT>HKLM</ROOT><KEY>" + lm +
                         "\\New</KEY><VALUE_NAME>Name</VALUE_NAME>"
                         "<VALUE>\xC6\xC4\xC0\xCF a</VALUE>"),
       {},
       true,
       {Text(LM, lm + "\\New", "Name", "\xC6\xC4\xC0\xCF a")},
       {}},
      {"dword 12abc is 12, type in upper case",
       Add("DWORD", "<ROOT>HKCU</ROOT><KEY>" + cu + "</KEY><VALUE_NAME>N</VALUE_NAME><VALUE>12abc</VALUE>"),
       {},
       true,
       {Dword(CU, cu, "N", 12)},
       {}},
      {"dword with blanks and a sign",
       Add("dword", "<ROOT>HKCU</ROOT><KEY>" + cu + "</KEY><VALUE_NAME>N</VALUE_NAME><VALUE>  -1</VALUE>"),
       {},
       true,
       {Dword(CU, cu, "N", 0xFFFFFFFF)},
       {}},
      {"root in lower case",
       Add("string", "<ROOT>hklm</ROOT><KEY>" + lm +
                         "</KEY><VALUE_NAME>N</VALUE_NAME>"
                         "<VALUE>v</VALUE>"),
       {},
       true,
       {Text(LM, lm, "N", "v")},
       {}},
      {"no VALUE_NAME: the default value below HKCR",
       Add("string", "<ROOT>HKCR</ROOT><KEY>" + cr + "</KEY><VALUE>d</VALUE>"),
       {},
       true,
       {Text(CR, cr, "", "d")},
       {}},
      {"no VALUE: written empty",
       Add("string", "<ROOT>HKCU</ROOT><KEY>" + cu + "</KEY><VALUE_NAME>E</VALUE_NAME>"),
       {},
       true,
       {Value(CU, cu, "E", REG_SZ, "")},
       {}},
      {"existing value replaced",
       Add("dword", "<ROOT>HKCU</ROOT><KEY>" + cu + "</KEY><VALUE_NAME>N</VALUE_NAME><VALUE>7</VALUE>"),
       {Text(CU, cu, "N", "old")},
       true,
       {Dword(CU, cu, "N", 7)},
       {}},
      {"other type",
       Add("binary", "<ROOT>HKCU</ROOT><KEY>" + cu + "</KEY><VALUE>1</VALUE>"),
       {},
       false,
       {NoKey(CU, cu)},
       {"[AddRegistry] Invalid Type"}},
      {"no type",
       Add(nullptr, "<ROOT>HKCU</ROOT><KEY>" + cu + "</KEY><VALUE>1</VALUE>"),
       {},
       false,
       {NoKey(CU, cu)},
       {"[AddRegistry] Invalid Type"}},
      {"other root",
       Add("string", "<ROOT>HKEY_CURRENT_USER</ROOT><KEY>" + cu + "</KEY><VALUE>1</VALUE>"),
       {},
       false,
       {NoKey(CU, cu)},
       {"[AddRegistry] Invalid Root"}},
      {"no root",
       Add("string", "<KEY>" + cu + "</KEY><VALUE>1</VALUE>"),
       {},
       false,
       {NoKey(CU, cu)},
       {"[AddRegistry] Invalid Root"}},
      {"no KEY: nothing written on the root",
       Add("string", "<ROOT>HKCU</ROOT><VALUE_NAME>VelSetupEditsRootValue</VALUE_NAME><VALUE>1</VALUE>"),
       {},
       false,
       {NoValue(CU, "", "VelSetupEditsRootValue")},
       {"[AddRegistry] RegSetValue(, VelSetupEditsRootValue) Failed, Error Code = 6"}},
      {"KEY of separators only: nothing written on the root",
       Add("string",
           "<ROOT>HKCU</ROOT><KEY>\\</KEY><VALUE_NAME>VelSetupEditsRootValue</VALUE_NAME>"
           "<VALUE>1</VALUE>"),
       {},
       false,
       {NoValue(CU, "", "VelSetupEditsRootValue")},
       {"[AddRegistry] RegCreateKeyEx(\\) Failed, Error Code = 1010"}},
  });
}

TEST(RegistryEditsTest, DeleteRegistry) {
  const std::string lm = kLmKey, cu = kCuKey, cr = kCrKey;
  const std::vector<Fact> tree = {Text(CR, cr, "A", "a"), Text(CR, cr, "B", "b"), Key(CR, cr + "\\x\\y\\z"),
                                  Text(CR, cr + "\\x\\y", "v", "1"), Key(CR, cr + "\\w")};
  RunCases({
      {"VALUE_NAME deletes only that value",
       Del("<ROOT>HKCR</ROOT><KEY>" + cr + "</KEY><VALUE_NAME>A</VALUE_NAME>"),
       tree,
       true,
       {NoValue(CR, cr, "A"), Text(CR, cr, "B", "b"), Key(CR, cr + "\\x\\y\\z")},
       {}},
      {"no VALUE_NAME: the key with every subkey",
       Del("<ROOT>hkcr</ROOT><KEY>" + cr + "</KEY>"),
       tree,
       true,
       {NoKey(CR, cr)},
       {}},
      {"HKLM key with subkeys",
       Del("<ROOT>HKLM</ROOT><KEY>" + lm + "</KEY>"),
       {Key(LM, lm + "\\a\\b")},
       true,
       {NoKey(LM, lm)},
       {}},
      {"HKCU subkey only",
       Del("<ROOT>HKCU</ROOT><KEY>" + cu + "\\a</KEY>"),
       {Key(CU, cu + "\\a\\b"), Key(CU, cu + "\\c")},
       true,
       {NoKey(CU, cu + "\\a"), Key(CU, cu + "\\c")},
       {}},
      {"missing value",
       Del("<ROOT>HKCU</ROOT><KEY>" + cu + "</KEY><VALUE_NAME>None</VALUE_NAME>"),
       {Key(CU, cu)},
       false,
       {Key(CU, cu)},
       {"[DeleteRegistry] RegDeleteValue(None) Failed, Error Code = 2"}},
      {"missing key with VALUE_NAME",
       Del("<ROOT>HKCU</ROOT><KEY>" + cu + "</KEY><VALUE_NAME>A</VALUE_NAME>"),
       {},
       false,
       {},
       {"[DeleteRegistry] RegOpenKeyEx(" + cu + ") Failed, Error Code = 2"}},
      {"missing key",
       Del("<ROOT>HKCU</ROOT><KEY>" + cu + "</KEY>"),
       {},
       false,
       {},
       {"[DeleteRegistry] RegDeleteAllKey(" + cu + ") Failed, Error Code = 2"}},
      {"other root",
       Del("<ROOT>HKU</ROOT><KEY>" + cu + "</KEY>"),
       {Key(CU, cu)},
       false,
       {Key(CU, cu)},
       {"[DeleteRegistry] Invalid Root"}},
      {"no KEY: the root is not deleted",
       Del("<ROOT>HKCU</ROOT>"),
       {},
       false,
       {},
       {"[RegDeleteAllKey] Refused to delete a whole root ()",
        "[DeleteRegistry] RegDeleteAllKey() Failed, Error Code = 1010"}},
      {"empty KEY: the root is not deleted",
       Del("<ROOT>HKCU</ROOT><KEY></KEY>"),
       {},
       false,
       {},
       {"[RegDeleteAllKey] Refused to delete a whole root ()",
        "[DeleteRegistry] RegDeleteAllKey() Failed, Error Code = 1010"}},
      {"KEY of separators: the root is not deleted",
       Del("<ROOT>HKCU</ROOT><KEY>\\\\</KEY>"),
       {},
       false,
       {},
       {"[RegDeleteAllKey] Refused to delete a whole root (\\\\)",
        "[DeleteRegistry] RegDeleteAllKey(\\\\) Failed, Error Code = 1010"}},
      // The key itself cannot go while the subkey stays; the deletion reports that and ends.
      {"a subkey that cannot be deleted ends the deletion",
       Del("<ROOT>HKCU</ROOT><KEY>" + cu + "</KEY>"),
       {Key(CU, cu + "\\b"), WideSubkey(CU, cu)},
       false,
       {Key(CU, cu)},
       {"[DeleteRegistry] RegDeleteAllKey(" + cu + ") Failed, Error Code = *"}},
  });
}

TEST(RegistryEditsTest, RegDeleteAllKeyRefusesWholeRoots) {
  ::SHDeleteKeyA(HKEY_CURRENT_USER, kSentinel);
  Establish(Key(HKEY_CURRENT_USER, kSentinel));
  for (const char* path : {static_cast<const char*>(nullptr), "", "\\", "\\\\\\"}) {
    EXPECT_EQ(RegDeleteAllKey(HKEY_CURRENT_USER, path), ERROR_BADKEY) << (path ? path : "(absent)");
  }
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kSentinel));
  DeleteTree(HKEY_CURRENT_USER, "Software\\VelSetupTest");
}

}  // namespace
