#include "TestRegistry.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include "WinHandles.h"

namespace {
constexpr char kLogKey[] = "Software\\Orbina.Com\\Korean\\";
constexpr char kLogValue[] = "VelSetUpLog";
constexpr char kUninstallRoot[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VelSetup";
}  // namespace

void SetLogLevelValue(DWORD level) {
  CScopedRegKey key;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kLogKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(),
                        nullptr) == ERROR_SUCCESS) {
    ::RegSetValueExA(key.Get(), kLogValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&level), sizeof level);
  }
}

void DeleteLogLevelValue() { ::SHDeleteValueA(HKEY_LOCAL_MACHINE, kLogKey, kLogValue); }

void DeleteUninstallRecords() { ::SHDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallRoot); }

CSavedRegistryValue::CSavedRegistryValue(HKEY root, const char* key, const char* name)
    : m_root(root), m_key(key), m_name(name) {
  CScopedRegKey opened;
  m_keyExisted = ::RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, opened.Put()) == ERROR_SUCCESS;
  DWORD size = 0;
  if (m_keyExisted &&
      ::RegQueryValueExA(opened.Get(), name, nullptr, &m_type, nullptr, &size) == ERROR_SUCCESS) {
    m_data.resize(size);
    m_valueExisted =
        ::RegQueryValueExA(opened.Get(), name, nullptr, &m_type, m_data.data(), &size) == ERROR_SUCCESS;
    m_data.resize(size);
  }
}

CSavedRegistryValue::~CSavedRegistryValue() {
  if (!m_keyExisted) {
    ::SHDeleteKeyA(m_root, m_key.c_str());
  } else if (m_valueExisted) {
    CScopedRegKey opened;
    if (::RegOpenKeyExA(m_root, m_key.c_str(), 0, KEY_SET_VALUE, opened.Put()) == ERROR_SUCCESS) {
      ::RegSetValueExA(opened.Get(), m_name.c_str(), 0, m_type, m_data.data(),
                       static_cast<DWORD>(m_data.size()));
    }
  } else {
    ::SHDeleteValueA(m_root, m_key.c_str(), m_name.c_str());
  }
}

void CSavedRegistryValue::Set(DWORD type, const std::string& bytes) {
  CScopedRegKey opened;
  ASSERT_EQ(::RegCreateKeyExA(m_root, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, opened.Put(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(::RegSetValueExA(opened.Get(), m_name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
}

void CSavedRegistryValue::Delete() { ::SHDeleteValueA(m_root, m_key.c_str(), m_name.c_str()); }
