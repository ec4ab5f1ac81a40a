#include "RunTestSupport.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "WinHandles.h"

void RemoveTree(const std::string& path) {
  const std::string doubleNull = path + '\0';
  SHFILEOPSTRUCTA remove = {};
  remove.wFunc = FO_DELETE;
  remove.pFrom = doubleNull.c_str();
  remove.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  ::SHFileOperationA(&remove);
}

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

void CSavedRegistryValue::SetText(const std::string& text) {
  CScopedRegKey opened;
  if (::RegCreateKeyExA(m_root, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, opened.Put(),
                        nullptr) == ERROR_SUCCESS) {
    ::RegSetValueExA(opened.Get(), m_name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1));
  }
}
