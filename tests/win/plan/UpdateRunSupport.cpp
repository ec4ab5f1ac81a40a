#include "UpdateRunSupport.h"

#include <shlwapi.h>
#include <zip.h>

#include <algorithm>

#include "Folders.h"
#include "LogCapture.h"
#include "ManifestText.h"
#include "NotifyWindow.h"
#include "Portal.h"
#include "Pump.h"
#include "SetupLog.h"
#include "SetupRun.h"
#include "TestRegistry.h"
#include "UninstallRecords.h"
#include "Util.h"
#include "WinHandles.h"

namespace {

constexpr char kServedFolder[] = "orbina/velsetup/upd";
constexpr char kUrl[] = "http://update.orbina.com/orbina/velsetup/upd/";
constexpr char kTestKey[] = "Software\\VelSetupTest\\Update";

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

void ListFiles(const std::string& folder, const std::string& relative, std::vector<std::string>& files) {
  WIN32_FIND_DATAA found;
  const HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ListFiles(folder + "\\" + name, relative + name + "/", files);
    } else {
      files.push_back(relative + name);
    }
  } while (::FindNextFileA(find, &found));
  ::FindClose(find);
}

std::vector<std::string> SubkeyNames(HKEY key) {
  std::vector<std::string> names;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    if (::RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, size);
  }
  return names;
}

void DumpValues(HKEY root, const std::string& key, const std::string& prefix, std::vector<std::string>& out) {
  CScopedRegKey opened;
  if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, opened.Put()) != ERROR_SUCCESS) return;
  char name[256];
  BYTE data[1024];
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = sizeof name;
    DWORD dataSize = sizeof data;
    DWORD type = REG_NONE;
    if (::RegEnumValueA(opened.Get(), i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS)
      break;
    std::string text;
    if (type == REG_DWORD && dataSize == 4) {
      text = std::to_string(*reinterpret_cast<DWORD*>(data));
    } else {
      text.assign(reinterpret_cast<char*>(data), dataSize);
      if (!text.empty() && text.back() == '\0') text.pop_back();
    }
    out.push_back(prefix + std::string(name, nameSize) + "=" + text);
  }
  for (const std::string& sub : SubkeyNames(opened.Get())) {
    DumpValues(root, key + "\\" + sub, prefix + sub + "\\", out);
  }
}

void CleanRegistry() {
  ::SHDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
  ::SHDeleteKeyA(HKEY_CLASSES_ROOT, "CLSID\\{" VELSETUP_FIXTURE_CLASS_ID "}");
  DeleteUninstallRecords();
}

}  // namespace

CUpdateRunFixture::CUpdateRunFixture() : m_home(HKEY_CURRENT_USER, "SOFTWARE\\Orbina.Com\\KOREAN", "Home") {
  m_home.SetText(m_root.Path());
  InitFolders();
  CleanRegistry();
  m_control = std::make_unique<CNotifyWindowStandIn>();
}

CUpdateRunFixture::~CUpdateRunFixture() {
  m_dialog.reset();
  CleanRegistry();
  portal::SetFaults("");
  RemoveTree(portal::PathOf(kServedFolder));
}

std::string CUpdateRunFixture::Expand(std::string text) const {
  ReplaceAll(text, "%DEST%", m_root / "Dest");
  ReplaceAll(text, "%TEMP%", SystemFolders().m_strTempFolder);
  ReplaceAll(text, "%URL%", kUrl);
  ReplaceAll(text, "%KEY%", kTestKey);
  return text;
}

void CUpdateRunFixture::Prepare(const char* mode, const std::string* manifest,
                                const std::vector<CServedFile>& served,
                                const std::vector<CPlacedFile>& placed) {
  LogInit(0, 2);
  RemoveTree(portal::PathOf(kServedFolder));
  for (const CServedFile& file : served)
    portal::Put(std::string(kServedFolder) + "/" + file.path, file.bytes);
  if (manifest) portal::Put(std::string(kServedFolder) + "/list.xml", Expand(*manifest));

  const std::string temp = SystemFolders().m_strTempFolder;
  ::CreateDirectoryA((m_root / "Dest").c_str(), nullptr);
  ::CreateDirectoryA(temp.c_str(), nullptr);
  for (const CPlacedFile& file : placed) {
    const std::string path = file.path.compare(0, 5, "dest/") == 0
                                 ? m_root / "Dest" + "\\" + file.path.substr(5)
                                 : temp + "\\" + file.path.substr(5);
    WriteFileBytes(path, file.bytes);
    uint64_t utc = 0;
    if (file.time != nullptr && ReadFileTimeText(file.time, CUtil::CurrentTimeZoneBias(), utc)) {
      const CScopedFile opened(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
      FILETIME time = {static_cast<DWORD>(utc), static_cast<DWORD>(utc >> 32)};
      ::SetFileTime(opened.Get(), nullptr, nullptr, &time);
    }
  }

  m_dialog = std::make_unique<CDlgDownload>();
  m_dialog->m_strSourceURL = Expand("%URL%list.xml");
  m_dialog->m_strMode = mode;
  m_dialog->SetNotifyWindow(m_control->Handle());
  m_fetched = m_dialog->DownloadFileList();
  m_built = m_fetched != 0 && m_dialog->CreateUpdateList();
}

std::vector<std::string> CUpdateRunFixture::Statuses() {
  PumpMessagesFor(0);
  return m_control->Sequence();
}

std::vector<std::string> CUpdateRunFixture::Files() const {
  std::vector<std::string> files;
  ListFiles(m_root.Path(), "", files);
  std::sort(files.begin(), files.end());
  return files;
}

std::string CUpdateRunFixture::Listed() const {
  std::string text;
  for (const std::unique_ptr<CUpdateSet>& set : m_dialog->UpdateSets()) {
    if (!text.empty()) text += " ";
    text += set->m_strName + "[";
    for (const std::unique_ptr<CUpdateFile>& file : set->m_arrUpdateFile) {
      if (text.back() != '[') text += ",";
      text += file->m_strName + (file->m_bReady ? "*" : "");
    }
    text += "]";
  }
  return text;
}

std::vector<std::string> CUpdateRunFixture::Registry() const {
  std::vector<std::string> lines;
  DumpValues(HKEY_CURRENT_USER, kTestKey, "", lines);
  CScopedRegKey entry;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, entry.Put()) == ERROR_SUCCESS) {
    for (const std::string& item : SubkeyNames(entry.Get())) {
      CScopedRegKey itemKey;
      if (::RegOpenKeyExA(entry.Get(), item.c_str(), 0, KEY_READ, itemKey.Put()) != ERROR_SUCCESS) continue;
      for (const std::string& file : SubkeyNames(itemKey.Get()))
        lines.push_back("uninstall:" + item + "\\" + file);
    }
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::string ZipBytes(const std::vector<std::pair<std::string, std::string>>& entries, int method) {
  char folder[MAX_PATH] = {};
  char path[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, folder);
  ::GetTempFileNameA(folder, "zip", 0, path);
  zipFile zip = zipOpen64(path, APPEND_STATUS_CREATE);
  for (const auto& [name, data] : entries) {
    zipOpenNewFileInZip64(zip, name.c_str(), nullptr, nullptr, 0, nullptr, 0, nullptr, method,
                          method == 0 ? 0 : Z_DEFAULT_COMPRESSION, 0);
    zipWriteInFileInZip(zip, data.data(), static_cast<unsigned>(data.size()));
    zipCloseFileInZip(zip);
  }
  zipClose(zip, nullptr);
  const std::string bytes = ReadFileBytes(path);
  ::DeleteFileA(path);
  return bytes;
}

std::string FixtureBytes(const std::string& name) { return ReadFileBytes(FixturePath(name)); }

std::string PatternBytes(size_t count) {
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>('a' + i % 26);
  return bytes;
}

std::vector<std::string> LogLinesWith(const std::vector<std::string>& prefixes) {
  std::vector<std::string> lines;
  for (const std::string& message : LogMessages()) {
    for (const std::string& prefix : prefixes) {
      if (message.compare(0, prefix.size(), prefix) == 0) {
        lines.push_back(message);
        break;
      }
    }
  }
  return lines;
}
