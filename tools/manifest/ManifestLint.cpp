#include "ManifestLint.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>

#include "AnsiText.h"
#include "Decimal.h"
#include "LocalFiles.h"
#include "ManifestText.h"
#include "ManifestUrl.h"
#include "PeVersion.h"
#include "RegistryText.h"
#include "TemporaryNames.h"
#include "ToolCrypto.h"
#include "UrlCheck.h"
#include "ToolServices.h"
#include "UpdateSet.h"
#include "XmlLookup.h"
#include "ZipArchive.h"

namespace {

// Elements looked up below a FILE (first descendant of each name), and below its RUNFILE.
const std::set<std::string> kFileElements = {
    "SOURCE",    "SOURCE_WIN9X",   "DEST",         "VERSION", "FILESIZE", "FILETIME",
    "REGISTER",  "DELETEREGCLASS", "DELETEREGKEY", "REBOOT",  "EXECUTE",  "PARAM",
    "SHAREDDLL", "RUNFILE",        "MAINFILE",     "CLASSID", "SHA256"};
const std::set<std::string> kRunFileElements = {"RUNSOURCE", "RUNDEST", "RUNPARAM", "RUNVERSION",
                                                "RUNSHA256"};
const std::set<std::string> kAddRegElements = {"ROOT", "KEY", "VALUE_NAME", "VALUE"};
const std::set<std::string> kDelRegElements = {"ROOT", "KEY", "VALUE_NAME"};
const char* const kBooleanElements[] = {"REGISTER", "REBOOT", "SHAREDDLL", "MAINFILE"};
const char* const kNumberElements[] = {"FILESIZE", "EXECUTE"};
// Texts whose white space or split by a comment changes what the program does with them.
const char* const kExactTexts[] = {"SOURCE",   "SOURCE_WIN9X", "DEST",     "VERSION",    "FILESIZE",
                                   "FILETIME", "RUNSOURCE",    "RUNDEST",  "RUNVERSION", "REGISTER",
                                   "REBOOT",   "SHAREDDLL",    "MAINFILE", "EXECUTE"};

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Fields separated by commas, each only decimal digits between optional blanks.
bool SplitPlainFields(const std::string& text, std::vector<std::string>& fields) {
  fields.clear();
  size_t begin = 0;
  for (;;) {
    const size_t comma = text.find(',', begin);
    std::string field = text.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin);
    while (!field.empty() && IsBlank(field.front())) field.erase(0, 1);
    while (!field.empty() && IsBlank(field.back())) field.pop_back();
    if (field.empty() || field.find_first_not_of("0123456789") != std::string::npos) return false;
    fields.push_back(field);
    if (comma == std::string::npos) return true;
    begin = comma + 1;
  }
}

bool IsPlainNumber(const std::string& text) {
  return !text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string::npos;
}

std::string DottedVersion(uint32_t ms, uint32_t ls) {
  char text[64];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF);
  return text;
}

std::string Join(const std::vector<std::string>& lines) {
  std::string joined;
  for (const std::string& line : lines) joined += (joined.empty() ? "" : "; ") + line;
  return joined;
}

std::string NameExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

// Records the name of every entry the archive reader writes.
class CEntryNames : public CZipActionCallback {
 public:
  bool Callback() override {
    names.insert(m_szFileInZip);
    return true;
  }
  std::set<std::string> names;
};

class CLinter {
 public:
  CLinter(const std::string& bytes, const CLintOptions& options) : m_bytes(bytes), m_options(options) {
    m_lineStarts.push_back(0);
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] == '\n') m_lineStarts.push_back(i + 1);
    }
  }

  std::vector<CLintFinding> Run() {
    SetTypicalMacroFolders();
    TakeFailureLines();
    if (m_bytes.empty()) {
      Add(0, "empty-manifest", "the manifest is empty: the setup manager fails the run");
      return m_findings;
    }
    pugi::xml_document document;
    LoadMinimal(document, m_bytes.data(), m_bytes.size());
    pugi::xml_document probe;
    const pugi::xml_parse_result parsed =
        probe.load_buffer(m_bytes.data(), m_bytes.size(), kMinimalParse, pugi::encoding_utf8);
    if (!parsed) {
      Add(LineOfOffset(static_cast<size_t>(parsed.offset)), "malformed-xml",
          std::string(parsed.description()) + ": the setup manager reads only what comes before");
    }
    if (!m_options.publicKey.empty()) CheckSignature();
    const pugi::xml_node updateList = FirstDescendant(document, "UPDATELIST");
    if (!updateList) {
      Add(0, "no-updatelist", "no UPDATELIST element: the setup manager fails the run");
      return Sorted();
    }
    if (!m_options.publicKey.empty()) CheckSerial(updateList);
    CheckEntities(updateList);
    for (const pugi::xml_node child : updateList.children()) {
      if (child.type() != pugi::node_element) continue;
      if (std::strcmp(child.name(), "UPDATEITEM") == 0) {
        LintItem(child);
      } else {
        Add(child, "unknown-element",
            std::string(child.name()) + " is not an element of UPDATELIST: ignored");
      }
    }
    return Sorted();
  }

 private:
  int LineOfOffset(size_t offset) const {
    return static_cast<int>(std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), offset) -
                            m_lineStarts.begin());
  }
  int LineOf(const pugi::xml_node& node) const {
    const ptrdiff_t offset = node.offset_debug();
    return offset < 0 ? 0 : LineOfOffset(static_cast<size_t>(offset));
  }
  void Add(int line, const char* code, const std::string& message) {
    m_findings.push_back({line, code, message});
  }
  void Add(const pugi::xml_node& node, const char* code, const std::string& message) {
    Add(LineOf(node), code, message);
  }
  std::vector<CLintFinding> Sorted() {
    std::stable_sort(m_findings.begin(), m_findings.end(),
                     [](const CLintFinding& a, const CLintFinding& b) { return a.line < b.line; });
    return m_findings;
  }

  void CheckSignature() {
    std::string why;
    if (!m_options.hasSignature) {
      Add(0, "no-signature", "no signature: a setup manager with a key refuses the manifest");
    } else if (!VerifySignature(m_bytes, m_options.signature, m_options.publicKey, why)) {
      Add(0, "bad-signature", why + ": a setup manager with this key refuses the manifest");
    }
  }

  void CheckSerial(const pugi::xml_node& updateList) {
    const pugi::xml_attribute attribute = updateList.attribute("SERIAL");
    uint64_t serial = 0;
    if (!ReadSerialText(attribute.value(), serial)) {
      Add(updateList, "no-serial",
          (attribute ? "SERIAL " + Quote(attribute.value()) + " is no decimal serial"
                     : std::string("UPDATELIST has no SERIAL")) +
              ": a setup manager with a key refuses the manifest");
    } else if (serial < m_options.minSerial) {
      Add(updateList, "serial-too-low",
          "SERIAL " + std::to_string(serial) + " is lower than " + std::to_string(m_options.minSerial) +
              ": a setup manager that accepted that one refuses this manifest");
    }
  }

  // A file at hand against the hash the manifest gives it.
  void CompareHash(const pugi::xml_node& file, const char* element,
                   const std::optional<CSha256Digest>& expected, const std::string& bytes,
                   const std::string& what) {
    CSha256Digest digest;
    if (!expected || !Sha256Bytes(bytes, digest) || digest == *expected) return;
    Add(FirstDescendant(file, element), "sha256-mismatch",
        std::string(element) + " differs from the " + Sha256Text(digest) + " of " + what +
            ": the download fails");
  }

  // Entity references stay as they are written: "&amp;" is five characters to the program.
  void CheckEntities(const pugi::xml_node& root) {
    const auto check = [&](const pugi::xml_node& node, const char* text) {
      const char* amp = std::strchr(text, '&');
      if (amp == nullptr) return;
      const char* end = amp + 1;
      while (*end != '\0' && (std::isalnum(static_cast<unsigned char>(*end)) || *end == '#')) ++end;
      if (*end == ';' && end > amp + 1) {
        Add(node, "literal-entity",
            Quote(std::string(amp, end + 1)) + " is read as written: the setup manager decodes no entities");
      }
    };
    pugi::xml_node node = root;
    while (node) {
      if (node.type() == pugi::node_pcdata) check(node.parent(), node.value());
      for (const pugi::xml_attribute attribute : node.attributes()) check(node, attribute.value());
      if (node.first_child()) {
        node = node.first_child();
        continue;
      }
      while (node && node != root && !node.next_sibling()) node = node.parent();
      if (!node || node == root) break;
      node = node.next_sibling();
    }
  }

  void CheckAttributes(const pugi::xml_node& element, std::initializer_list<const char*> allowed) {
    for (const pugi::xml_attribute attribute : element.attributes()) {
      bool known = false;
      for (const char* name : allowed) known = known || std::strcmp(attribute.name(), name) == 0;
      if (!known) {
        Add(element, "unknown-attribute",
            std::string(attribute.name()) + " is not an attribute of " + element.name() + ": ignored");
      }
    }
  }

  // Every element below `root` in document order, with the vocabulary of the lookups made
  // there: the first of each name is read, later ones and unknown names are not. Elements of
  // `nested` belong inside the first `nestedRoot` element.
  void CheckVocabulary(const pugi::xml_node& root, const std::set<std::string>& names, const char* nestedRoot,
                       const std::set<std::string>& nested) {
    std::map<std::string, int> seen;
    const pugi::xml_node readNested =
        nestedRoot != nullptr ? FirstDescendant(root, nestedRoot) : pugi::xml_node();
    // (element, inside the nested element that is read)
    std::vector<std::pair<pugi::xml_node, bool>> pending;
    for (pugi::xml_node child = root.last_child(); child; child = child.previous_sibling()) {
      pending.emplace_back(child, false);
    }
    while (!pending.empty()) {
      const auto [element, insideNested] = pending.back();
      pending.pop_back();
      if (element.type() != pugi::node_element) continue;
      const std::string name = element.name();
      const bool inNested = insideNested || element == readNested;
      for (pugi::xml_node child = element.last_child(); child; child = child.previous_sibling()) {
        pending.emplace_back(child, inNested);
      }
      if (names.count(name) != 0) {
        const auto first = seen.emplace(name, LineOf(element));
        if (!first.second) {
          Add(element, "repeated-element",
              "only the first " + name + " (line " + std::to_string(first.first->second) + ") is read");
        } else if (insideNested) {
          Add(element, "misplaced-element",
              name + " inside " + nestedRoot + " is read as the " + root.name() + "'s own " + name);
        }
        if (nestedRoot != nullptr && name == nestedRoot) {
          CheckAttributes(element, {"NAME"});
        } else {
          CheckAttributes(element, {});
        }
      } else if (nested.count(name) != 0) {
        if (!insideNested) {
          Add(element, "misplaced-element", name + " outside " + nestedRoot + " is not read");
        } else if (!seen.emplace(name, LineOf(element)).second) {
          Add(element, "repeated-element",
              "only the first " + name + " (line " + std::to_string(seen[name]) + ") is read");
        } else {
          CheckAttributes(element, {});
        }
      } else {
        Add(element, "unknown-element", name + " is not an element of " + root.name() + ": ignored");
      }
    }
  }

  // The value as the program reads it must be the whole text as the author wrote it.
  void CheckExactText(const pugi::xml_node& element) {
    const pugi::xml_node first = element.first_child();
    if (!first) return;
    if (first.type() != pugi::node_pcdata || first.next_sibling()) {
      Add(element, "split-text",
          std::string(element.name()) + " holds more than one text: only " + Quote(ElementText(element)) +
              " is read");
    }
  }

  void CheckBoolean(const pugi::xml_node& element, const char* name, const char* text) {
    if (std::strcmp(text, "1") == 0 || std::strcmp(text, "0") == 0) return;
    Add(element, "bad-boolean",
        std::string(name) + " " + Quote(text) + " reads as false: only the text 1 is true");
  }

  void CheckTexts(const pugi::xml_node& file) {
    for (const char* name : kExactTexts) {
      if (const pugi::xml_node element = FirstDescendant(file, name)) CheckExactText(element);
    }
    for (const char* name : kBooleanElements) {
      if (const pugi::xml_node element = FirstDescendant(file, name))
        CheckBoolean(element, name, ElementText(element));
    }
    for (const char* name : kNumberElements) {
      const pugi::xml_node element = FirstDescendant(file, name);
      if (element && !IsPlainNumber(ElementText(element))) {
        Add(element, "bad-number",
            std::string(name) + " " + Quote(ElementText(element)) + " reads as " +
                std::to_string(ParseAtoi(ElementText(element))));
      }
    }
    const pugi::xml_node runFile = FirstDescendant(file, "RUNFILE");
    const pugi::xml_node versions[] = {FirstDescendant(file, "VERSION"),
                                       runFile ? FirstDescendant(runFile, "RUNVERSION") : pugi::xml_node()};
    for (const pugi::xml_node& element : versions) {
      if (!element) continue;
      const std::string text = ElementText(element);
      std::vector<std::string> fields;
      const bool plain = SplitPlainFields(text, fields);
      bool fits = plain && fields.size() == 4;
      for (const std::string& field : fields) fits = fits && field.size() <= 5 && std::stoi(field) <= 65535;
      if (fits) continue;
      uint32_t ms = 0;
      uint32_t ls = 0;
      ReadVersionText(text.c_str(), ms, ls);
      Add(element, "bad-version",
          std::string(element.name()) + " " + Quote(text) + " reads as " + DottedVersion(ms, ls) +
              ": a version is four numbers of 0 to 65535 separated by commas");
    }
    if (const pugi::xml_node element = FirstDescendant(file, "FILETIME")) {
      const std::string text = ElementText(element);
      std::vector<std::string> fields;
      uint64_t fileTime = 0;
      if (!ReadFileTimeText(text.c_str(), 0, fileTime)) {
        Add(element, "bad-filetime",
            "FILETIME " + Quote(text) +
                " is no valid date and time: the setup manager takes it as no time given");
      } else if (!SplitPlainFields(text, fields) || fields.size() != 6) {
        int parts[6];
        ReadFieldList(text.c_str(), parts, 6);
        char read[80];
        std::snprintf(read, sizeof read, "%d-%02d-%02d %02d:%02d:%02d", parts[0], parts[1], parts[2],
                      parts[3], parts[4], parts[5]);
        Add(element, "bad-filetime",
            "FILETIME " + Quote(text) + " reads as " + read +
                ": a file time is six numbers (year, month, day, hour, minute, second) separated by commas");
      }
    }
  }

  void CheckUrl(const pugi::xml_node& element, const std::string& url) {
    TakeFailureLines();
    if (IsTrustedDownloadUrl(url, m_options.hostSuffix.c_str())) return;
    std::string message = std::string(element.name()) + " " + Quote(url) +
                          " lies outside the trusted location *" + m_options.hostSuffix + "/" +
                          kTrustedPathPrefix + ": the download is refused";
    const std::vector<std::string> lines = TakeFailureLines();
    if (!lines.empty()) message += " (" + Join(lines) + ")";
    Add(element, "untrusted-url", message);
  }

  bool LocalFileOf(const std::string& url, std::string& path) const {
    return !m_options.filesFolder.empty() &&
           LocalPathUnder(url, m_options.baseUrl, m_options.filesFolder, path);
  }

  // The file the setup manager installs, as published, against what the manifest says of it.
  void CompareWithFile(const pugi::xml_node& file, const CUpdateFile& record, const std::string& path,
                       const std::string& what) {
    CLocalFile local;
    std::string bytes;
    if (!StatLocalFile(path, local) || !ReadLocalFile(path, bytes)) return;
    CompareHash(file, "SHA256", record.m_hashFile, bytes, what);
    if (record.m_nFileSize != 0 && local.size != static_cast<uint64_t>(record.m_nFileSize)) {
      Add(file, "size-mismatch",
          "FILESIZE " + std::to_string(record.m_nFileSize) + " differs from the " +
              std::to_string(local.size) + " bytes of " + what + ": every run downloads it again");
    }
    const pugi::xml_node version = FirstDescendant(file, "VERSION");
    if (!version) return;
    uint32_t ms = 0;
    uint32_t ls = 0;
    if (!ReadPeFileVersion(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), ms, ls)) {
      Add(version, "version-mismatch", "VERSION is given but " + what + " has no version resource");
      return;
    }
    const uint64_t expected = (static_cast<uint64_t>(record.m_dwVersionMS) << 32) | record.m_dwVersionLS;
    const uint64_t actual = (static_cast<uint64_t>(ms) << 32) | ls;
    if (expected > actual) {
      Add(version, "version-mismatch",
          "VERSION " + DottedVersion(record.m_dwVersionMS, record.m_dwVersionLS) + " is newer than the " +
              DottedVersion(ms, ls) + " of " + what + ": every run finds the installed file older");
    } else if (expected < actual) {
      Add(version, "version-mismatch",
          "VERSION " + DottedVersion(record.m_dwVersionMS, record.m_dwVersionLS) + " is older than the " +
              DottedVersion(ms, ls) + " of " + what + ": installed copies in between are never updated");
    }
  }

  void CheckArchive(const pugi::xml_node& file, const pugi::xml_node& source, const CUpdateFile& record,
                    const std::string& path) {
    CZipArchive archive;
    CEntryNames entries;
    archive.SetCallback(&entries);
    const std::string archiveName = path.substr(path.find_last_of("/\\") + 1);
    try {
      archive.Open(path.c_str());
    } catch (const std::exception& e) {
      Add(source, "zip-unreadable",
          archiveName + " cannot be opened (" + e.what() + "): the download pass fails");
      return;
    }
    if (archive.GetCount() == 0) {
      Add(source, "zip-unreadable", archiveName + " holds no entries: the download pass fails");
      return;
    }
    CScratchFolder scratch;
    if (!scratch.Valid()) return;
    for (int i = 0; i < archive.GetCount(); ++i) {
      try {
        archive.ExtractFile(i, scratch.Path().c_str());
      } catch (const std::exception& e) {
        Add(source, "zip-unreadable",
            archiveName + " entry " + std::to_string(i) + ": " + e.what() + ": the download pass fails");
        return;
      }
    }
    for (const std::string& entry : entries.names) {
      if (entry.find_first_of("/\\") == std::string::npos &&
          EqualNoCase(entry.c_str(), record.m_strName.c_str())) {
        CompareWithFile(file, record, JoinLocalPath(scratch.Path(), entry), archiveName + "'s " + entry);
        return;
      }
    }
    Add(source, "zip-entry-missing",
        archiveName + " holds no " + record.m_strName + " at its top level: the installation finds no file");
  }

  void CheckSource(const pugi::xml_node& file, const pugi::xml_node& source, const CUpdateFile& record) {
    const std::string url = ElementText(source);
    CheckUrl(source, url);
    std::string copy;
    if (!DownloadedCopyPath("C:\\TEMP", record.m_strName, url, copy)) {
      Add(source, "bad-extension",
          "no downloaded copy can be named from " + record.m_strName + " and the URL's extension " +
              Quote(UrlExtension(url)) + ": the download fails");
      return;
    }
    const bool extracted = NeedsExtraction(record.m_strName, url);
    if (!extracted && !EqualNoCase(NameExtension(record.m_strName).c_str(), UrlExtension(url).c_str())) {
      Add(source, "extension-mismatch",
          "the file arrives as " + copy.substr(copy.rfind('\\') + 1) + ", not " + record.m_strName +
              ": the installation finds no file (only a .zip archive is unpacked)");
    }
    std::string path;
    if (!LocalFileOf(url, path)) return;
    CLocalFile local;
    if (!StatLocalFile(path, local)) {
      Add(source, "source-not-found", Quote(url) + " names no published file (" + path + ")");
    } else if (extracted) {
      CheckArchive(file, source, record, path);
    } else {
      CompareWithFile(file, record, path, path.substr(path.find_last_of("/\\") + 1));
    }
  }

  void LintFile(const pugi::xml_node& file, CUpdateSet& set) {
    CheckAttributes(file, {"NAME"});
    CheckVocabulary(file, kFileElements, "RUNFILE", kRunFileElements);
    CheckTexts(file);

    TakeFailureLines();
    auto record = std::make_unique<CUpdateFile>();
    const bool accepted = record->GetUpdateInfo(file, !m_options.publicKey.empty());
    const std::vector<std::string> failures = TakeFailureLines();
    const std::string name = file.attribute("NAME").value();
    if (!FirstDescendant(file, "SOURCE")) {
      Add(file, "missing-source", "FILE " + Quote(name) + " has no SOURCE: the setup manager drops it");
      return;
    }
    if (!FirstDescendant(file, "DEST")) {
      Add(file, "missing-dest", "FILE " + Quote(name) + " has no DEST: the setup manager drops it");
      return;
    }
    if (!accepted) {
      Add(file, "file-rejected",
          "FILE " + Quote(name) + " is dropped by the setup manager: " + Join(failures));
      return;
    }

    // The record stays alive to the end, whether the item keeps it or not.
    const CUpdateFile& read = *record;
    if (const CUpdateFile* listed = set.FindUpdateFile(record->m_strName)) {
      Add(file, "duplicate-name",
          "FILE " + Quote(name) + " repeats the name of the FILE at line " +
              std::to_string(m_fileLines[listed]) + ": the setup manager drops it");
    } else {
      m_fileLines[record.get()] = LineOf(file);
      set.m_arrUpdateFile.push_back(std::move(record));
    }
    for (const char* element : {"SOURCE", "SOURCE_WIN9X"}) {
      if (const pugi::xml_node source = FirstDescendant(file, element)) CheckSource(file, source, read);
    }
    std::string runPath, runBytes;
    if (read.m_strRunSource && LocalFileOf(*read.m_strRunSource, runPath) &&
        ReadLocalFile(runPath, runBytes)) {
      CompareHash(file, "RUNSHA256", read.m_hashRunFile, runBytes,
                  runPath.substr(runPath.find_last_of("/\\") + 1));
    }
    if (const pugi::xml_node runFile = FirstDescendant(file, "RUNFILE")) {
      if (const pugi::xml_node runSource = FirstDescendant(runFile, "RUNSOURCE")) {
        const std::string url = ElementText(runSource);
        CheckUrl(runSource, url);
        std::string path;
        CLocalFile local;
        if (LocalFileOf(url, path) && !StatLocalFile(path, local)) {
          Add(runSource, "source-not-found", Quote(url) + " names no published file (" + path + ")");
        }
      }
    }
  }

  void LintRegistry(const pugi::xml_node& element, bool add) {
    CheckAttributes(element,
                    add ? std::initializer_list<const char*>{"TYPE"} : std::initializer_list<const char*>{});
    CheckVocabulary(element, add ? kAddRegElements : kDelRegElements, nullptr, {});
    const std::string what = element.name();
    const char* type = element.attribute("TYPE").value();
    if (add && !EqualNoCase(type, "string") && !EqualNoCase(type, "dword")) {
      Add(element, "bad-registry",
          what + " TYPE " + Quote(type) + " is neither string nor dword: the edit fails");
    }
    const pugi::xml_node root = FirstDescendant(element, "ROOT");
    if (ParseRootName(root ? ElementText(root) : nullptr) == RegistryRoot::kNone) {
      Add(element, "bad-registry",
          what + " ROOT " + Quote(root ? ElementText(root) : "") +
              " is not HKLM, HKCU or HKCR: the edit fails");
    }
    const pugi::xml_node key = FirstDescendant(element, "KEY");
    if (!key) {
      Add(element, "bad-registry", what + " has no KEY: the edit fails");
    } else if (!add && !FirstDescendant(element, "VALUE_NAME") && NamesWholeRoot(ElementText(key))) {
      Add(key, "bad-registry", "DELREG KEY " + Quote(ElementText(key)) + " names the whole root: refused");
    }
    const pugi::xml_node value = FirstDescendant(element, "VALUE");
    if (add && EqualNoCase(type, "dword") && value && !IsPlainNumber(ElementText(value))) {
      Add(value, "bad-number",
          "ADDREG VALUE " + Quote(ElementText(value)) + " reads as " +
              std::to_string(ParseAtoi(ElementText(value))));
    }
  }

  void LintItem(const pugi::xml_node& item) {
    CheckAttributes(item, {"NAME", "SELFUNINSTALLER"});
    if (const pugi::xml_attribute self = item.attribute("SELFUNINSTALLER"))
      CheckBoolean(item, "SELFUNINSTALLER", self.value());
    bool hasMode = false;
    CUpdateSet set;
    for (const pugi::xml_node child : item.children()) {
      if (child.type() != pugi::node_element) continue;
      const std::string name = child.name();
      if (name == "MODE") {
        CheckAttributes(child, {"NAME"});
        if (child.attribute("NAME")) {
          hasMode = true;
        } else {
          Add(child, "no-mode", "MODE without a NAME attribute names no mode");
        }
      } else if (name == "FILE") {
        LintFile(child, set);
      } else if (name == "ADDREG" || name == "DELREG") {
        LintRegistry(child, name == "ADDREG");
      } else {
        Add(child, "unknown-element", name + " is not an element of UPDATEITEM: ignored");
      }
    }
    if (!hasMode) {
      Add(item, "no-mode",
          "UPDATEITEM " + Quote(item.attribute("NAME").value()) +
              " has no MODE: the setup manager never selects it");
    }
  }

  const std::string& m_bytes;
  const CLintOptions& m_options;
  std::vector<size_t> m_lineStarts;
  std::vector<CLintFinding> m_findings;
  std::map<const CUpdateFile*, int> m_fileLines;
};

}  // namespace

std::vector<CLintFinding> LintManifest(const std::string& bytes, const CLintOptions& options) {
  return CLinter(bytes, options).Run();
}
