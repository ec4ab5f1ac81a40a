#include "RegistryEdits.h"

#include <optional>
#include <string>

#include "AnsiText.h"
#include "Decimal.h"
#include "RegistryText.h"
#include "SetupLog.h"
#include "UpdateSet.h"
#include "WinHandles.h"
#include "XmlLookup.h"

namespace {

HKEY RootKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::kLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case RegistryRoot::kCurrentUser:
      return HKEY_CURRENT_USER;
    case RegistryRoot::kClassesRoot:
      return HKEY_CLASSES_ROOT;
    case RegistryRoot::kNone:
      break;
  }
  return nullptr;
}

// The text of the first descendant of that name, when there is one.
std::optional<std::string> FindText(const pugi::xml_node& element, const char* name) {
  const pugi::xml_node found = FirstDescendant(element, name);
  if (!found) return std::nullopt;
  return std::string(ElementText(found));
}

const char* OrEmpty(const std::optional<std::string>& text) { return text ? text->c_str() : ""; }

}  // namespace

LONG RegDeleteAllKey(HKEY root, const char* subKey) {
  if (NamesWholeRoot(subKey)) {
    LogWrite(1, "[RegDeleteAllKey] Refused to delete a whole root (%s)", subKey != nullptr ? subKey : "");
    return ERROR_BADKEY;
  }
  CScopedRegKey opened;
  if (::RegOpenKeyExA(root, subKey, 0, KEY_ALL_ACCESS, opened.Put()) == ERROR_SUCCESS) {
    for (;;) {
      char name[MAX_PATH];
      DWORD length = sizeof name;
      if (::RegEnumKeyExA(opened.Get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      const std::string nested = std::string(subKey) + "\\" + name;
      if (RegDeleteAllKey(root, nested.c_str()) != ERROR_SUCCESS) break;
    }
    opened.Reset();
  }
  return ::RegDeleteKeyA(root, subKey);
}

bool CUpdateSet::AddRegistry(const pugi::xml_node& element) {
  const char* typeText = element.attribute("TYPE").value();
  DWORD type;
  if (EqualNoCase(typeText, "string")) {
    type = REG_SZ;
  } else if (EqualNoCase(typeText, "dword")) {
    type = REG_DWORD;
  } else {
    LogWrite(1, "[AddRegistry] Invalid Type");
    return false;
  }
  const HKEY root = RootKey(ParseRootName(ElementText(FirstDescendant(element, "ROOT"))));
  if (root == nullptr) {
    LogWrite(1, "[AddRegistry] Invalid Root");
    return false;
  }
  const std::optional<std::string> key = FindText(element, "KEY");
  const std::optional<std::string> valueName = FindText(element, "VALUE_NAME");
  const std::optional<std::string> value = FindText(element, "VALUE");

  // Values are written below the root, never on the root itself: without KEY there is no key to
  // write on, and a KEY made of nothing but separators names the root.
  if (!key) {
    LogWrite(1, "[AddRegistry] RegSetValue(%s, %s) Failed, Error Code = %d", "", OrEmpty(valueName),
             static_cast<int>(ERROR_INVALID_HANDLE));
    return false;
  }
  if (NamesWholeRoot(key->c_str())) {
    LogWrite(1, "[AddRegistry] RegCreateKeyEx(%s) Failed, Error Code = %d", key->c_str(),
             static_cast<int>(ERROR_BADKEY));
    return false;
  }
  CScopedRegKey opened;
  LONG result = ::RegCreateKeyExA(root, key->c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, opened.Put(), nullptr);
  if (result != ERROR_SUCCESS) {
    LogWrite(1, "[AddRegistry] RegCreateKeyEx(%s) Failed, Error Code = %d", key->c_str(),
             static_cast<int>(result));
    return false;
  }

  const char* name = valueName ? valueName->c_str() : nullptr;
  if (!value) {
    result = ::RegSetValueExA(opened.Get(), name, 0, type, nullptr, 0);
  } else if (type == REG_SZ) {
    result = ::RegSetValueExA(opened.Get(), name, 0, type, reinterpret_cast<const BYTE*>(value->c_str()),
                              static_cast<DWORD>(value->size() + 1));
  } else {
    const DWORD number = static_cast<DWORD>(ParseAtoi(value->c_str()));
    result =
        ::RegSetValueExA(opened.Get(), name, 0, type, reinterpret_cast<const BYTE*>(&number), sizeof number);
  }
  if (result != ERROR_SUCCESS) {
    LogWrite(1, "[AddRegistry] RegSetValue(%s, %s) Failed, Error Code = %d", key->c_str(), OrEmpty(valueName),
             static_cast<int>(result));
    return false;
  }
  return true;
}

bool CUpdateSet::DeleteRegistry(const pugi::xml_node& element) {
  const HKEY root = RootKey(ParseRootName(ElementText(FirstDescendant(element, "ROOT"))));
  if (root == nullptr) {
    LogWrite(1, "[DeleteRegistry] Invalid Root");
    return false;
  }
  const std::optional<std::string> key = FindText(element, "KEY");
  const std::optional<std::string> valueName = FindText(element, "VALUE_NAME");

  if (valueName) {
    CScopedRegKey opened;
    LONG result = ::RegOpenKeyExA(root, OrEmpty(key), 0, KEY_ALL_ACCESS, opened.Put());
    if (result != ERROR_SUCCESS) {
      LogWrite(1, "[DeleteRegistry] RegOpenKeyEx(%s) Failed, Error Code = %d", OrEmpty(key),
               static_cast<int>(result));
      return false;
    }
    result = ::RegDeleteValueA(opened.Get(), valueName->c_str());
    if (result != ERROR_SUCCESS) {
      LogWrite(1, "[DeleteRegistry] RegDeleteValue(%s) Failed, Error Code = %d", valueName->c_str(),
               static_cast<int>(result));
      return false;
    }
    return true;
  }

  const LONG result = RegDeleteAllKey(root, key ? key->c_str() : nullptr);
  if (result != ERROR_SUCCESS) {
    LogWrite(1, "[DeleteRegistry] RegDeleteAllKey(%s) Failed, Error Code = %d", OrEmpty(key),
             static_cast<int>(result));
    return false;
  }
  return true;
}
