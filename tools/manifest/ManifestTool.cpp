#include "ManifestTool.h"

#include "BuildConfig.h"
#include "LocalFiles.h"
#include "ManifestBuild.h"
#include "ManifestLint.h"
#include "ManifestTrust.h"
#include "ManifestUrl.h"
#include "ToolCrypto.h"
#include "ToolServices.h"
#include "UrlCheck.h"

namespace {

constexpr char kUsage[] =
    "usage:\n"
    "  velsetup-manifest build --base-url URL --tz ZONE [--out FILE] [--dest FOLDER]\n"
    "                          [--zip NAME]... [--register NAME]... FOLDER\n"
    "                          --item NAME [--mode MODE]... [--dest FOLDER] [--self-uninstaller]\n"
    "                                      [--files NAME[,NAME...]]  (one or more items)\n"
    "                          [--serial N]\n"
    "  velsetup-manifest lint [--files DIR --base-url URL] [--host-suffix SUFFIX]\n"
    "                         [--key PUBLIC.der [--signature FILE] [--min-serial N]] MANIFEST\n"
    "  velsetup-manifest keygen --private PRIVATE.pem --public PUBLIC.der\n"
    "  velsetup-manifest sign --key PRIVATE.pem [--out FILE] MANIFEST   (writes MANIFEST.sig)\n"
    "ZONE is +HH:MM or -HH:MM (FILETIME is written as local time of that zone) or Z.\n"
    "Findings are printed as MANIFEST:LINE: CODE: MESSAGE.\n"
    "Exit codes: 0 nothing found, 1 findings, 2 usage, input or output error.\n";

struct CArgs {
  const std::vector<std::string>& list;
  size_t next = 1;
  bool More() const { return next < list.size(); }
  const std::string& Peek() const { return list[next]; }
  bool Value(std::string& value) {
    if (next + 1 >= list.size()) return false;
    value = list[next + 1];
    next += 2;
    return true;
  }
};

int Fail(std::string& err, const std::string& message) {
  err += "velsetup-manifest: error: " + message + "\n";
  return kExitError;
}

std::vector<std::string> SplitNames(const std::string& text) {
  std::vector<std::string> names;
  size_t begin = 0;
  for (;;) {
    const size_t comma = text.find(',', begin);
    const std::string name =
        text.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin);
    if (!name.empty()) names.push_back(name);
    if (comma == std::string::npos) return names;
    begin = comma + 1;
  }
}

void PrintFindings(const std::vector<CLintFinding>& findings, const std::string& name, std::string& to) {
  for (const CLintFinding& finding : findings) {
    to += name + ":" + std::to_string(finding.line) + ": " + finding.code + ": " + finding.message + "\n";
  }
}

std::string WithSlash(const std::string& url) { return url.empty() || url.back() == '/' ? url : url + "/"; }

int Lint(const std::vector<std::string>& args, std::string& out, std::string& err) {
  CLintOptions options;
  options.hostSuffix = VELSETUP_TRUSTED_HOST_SUFFIX;
  std::string manifest;
  std::string signaturePath;
  CArgs parser{args};
  while (parser.More()) {
    const std::string option = parser.Peek();
    if (option == "--files" || option == "--base-url" || option == "--host-suffix" || option == "--key" ||
        option == "--signature" || option == "--min-serial") {
      std::string value;
      if (!parser.Value(value)) return Fail(err, option + " needs a value");
      if (option == "--files") options.filesFolder = value;
      if (option == "--base-url") options.baseUrl = WithSlash(value);
      if (option == "--host-suffix") options.hostSuffix = value;
      if (option == "--key" && (!ReadLocalFile(value, options.publicKey) || options.publicKey.empty()))
        return Fail(err, "cannot read the public key " + value);
      if (option == "--signature") signaturePath = value;
      if (option == "--min-serial" && !ReadSerialText(value, options.minSerial))
        return Fail(err, "--min-serial " + value + " is no decimal serial");
    } else if (option.compare(0, 2, "--") == 0 || !manifest.empty()) {
      return Fail(err, "unexpected argument " + option + "\n" + kUsage);
    } else {
      manifest = option;
      ++parser.next;
    }
  }
  if (manifest.empty()) return Fail(err, std::string("no manifest given\n") + kUsage);
  if (options.filesFolder.empty() != options.baseUrl.empty()) {
    return Fail(err, "--files and --base-url go together");
  }
  if (options.publicKey.empty() && (!signaturePath.empty() || options.minSerial != 0))
    return Fail(err, "--signature and --min-serial go with --key");
  std::string bytes;
  if (!ReadLocalFile(manifest, bytes)) return Fail(err, "cannot read " + manifest);
  if (!options.publicKey.empty()) {
    if (signaturePath.empty()) signaturePath = manifest + ".sig";
    // Refused unread above the size the setup manager reads.
    CLocalFile signature;
    options.hasSignature = StatLocalFile(signaturePath, signature) && signature.size <= kMaxSignatureSize &&
                           ReadLocalFile(signaturePath, options.signature);
  }
  const std::vector<CLintFinding> findings = LintManifest(bytes, options);
  PrintFindings(findings, manifest, out);
  return findings.empty() ? kExitClean : kExitFindings;
}

int Build(const std::vector<std::string>& args, std::string& out, std::string& err) {
  CBuildSpec spec;
  std::string outPath;
  std::string defaultDest;
  std::string zone;
  CArgs parser{args};
  while (parser.More()) {
    const std::string option = parser.Peek();
    std::string value;
    if (option == "--self-uninstaller") {
      if (spec.items.empty()) return Fail(err, "--self-uninstaller belongs to an --item");
      spec.items.back().selfUninstaller = true;
      ++parser.next;
      continue;
    }
    if (option.compare(0, 2, "--") != 0) {
      if (!spec.folder.empty()) return Fail(err, "unexpected argument " + option + "\n" + kUsage);
      spec.folder = option;
      ++parser.next;
      continue;
    }
    if (!parser.Value(value)) return Fail(err, option + " needs a value\n" + kUsage);
    if (option == "--base-url") {
      spec.baseUrl = WithSlash(value);
    } else if (option == "--tz") {
      zone = value;
      if (!ParseTimeZone(value, spec.biasMinutes))
        return Fail(err, "--tz " + value + " is not +HH:MM, -HH:MM or Z");
    } else if (option == "--out") {
      outPath = value;
    } else if (option == "--item") {
      spec.items.push_back({});
      spec.items.back().name = value;
    } else if (option == "--dest") {
      (spec.items.empty() ? defaultDest : spec.items.back().dest) = value;
    } else if (option == "--mode" || option == "--files") {
      if (spec.items.empty()) return Fail(err, option + " belongs to an --item");
      std::vector<std::string>& list = option == "--mode" ? spec.items.back().modes : spec.items.back().files;
      for (const std::string& name : SplitNames(value)) list.push_back(name);
    } else if (option == "--zip") {
      spec.zipped.insert(value);
    } else if (option == "--register") {
      spec.registered.insert(value);
    } else if (option == "--serial") {
      uint64_t serial = 0;
      if (!ReadSerialText(value, serial)) return Fail(err, "--serial " + value + " is no decimal serial");
      spec.serial = std::to_string(serial);
    } else {
      return Fail(err, "unknown option " + option + "\n" + kUsage);
    }
  }
  if (spec.folder.empty() || spec.baseUrl.empty() || zone.empty() || spec.items.empty()) {
    return Fail(err,
                std::string("build needs a FOLDER, --base-url, --tz and at least one --item\n") + kUsage);
  }
  for (CItemSpec& item : spec.items) {
    if (item.dest.empty()) item.dest = defaultDest;
    if (item.dest.empty()) return Fail(err, "item " + item.name + " has no --dest");
    if (item.modes.empty())
      return Fail(err, "item " + item.name + " has no --mode: it would never be selected");
  }
  TakeFailureLines();
  if (!IsTrustedDownloadUrl(spec.baseUrl + "x", VELSETUP_TRUSTED_HOST_SUFFIX)) {
    return Fail(err, "--base-url " + spec.baseUrl + " lies outside the trusted location *" +
                         VELSETUP_TRUSTED_HOST_SUFFIX + "/" + kTrustedPathPrefix);
  }

  std::string xml;
  std::string error;
  if (!BuildManifest(spec, xml, error)) return Fail(err, error);
  if (outPath.empty()) {
    out += xml;
  } else if (!WriteLocalFile(outPath, xml)) {
    return Fail(err, "cannot write " + outPath);
  }

  // What was written is read back as the setup manager reads it.
  CLintOptions options;
  options.hostSuffix = VELSETUP_TRUSTED_HOST_SUFFIX;
  options.baseUrl = spec.baseUrl;
  options.filesFolder = spec.folder;
  const std::vector<CLintFinding> findings = LintManifest(xml, options);
  PrintFindings(findings, outPath.empty() ? "<stdout>" : outPath, err);
  return findings.empty() ? kExitClean : kExitFindings;
}

int Keygen(const std::vector<std::string>& args, std::string& err) {
  std::string privatePath, publicPath;
  CArgs parser{args};
  while (parser.More()) {
    const std::string option = parser.Peek();
    std::string value;
    if ((option != "--private" && option != "--public") || !parser.Value(value))
      return Fail(err, "unexpected argument " + option + "\n" + kUsage);
    (option == "--private" ? privatePath : publicPath) = value;
  }
  if (privatePath.empty() || publicPath.empty())
    return Fail(err, std::string("keygen needs --private and --public\n") + kUsage);
  std::string error;
  return MakeKeyPair(privatePath, publicPath, error) ? kExitClean : Fail(err, error);
}

int Sign(const std::vector<std::string>& args, std::string& err) {
  std::string keyPath, outPath, manifest;
  CArgs parser{args};
  while (parser.More()) {
    const std::string option = parser.Peek();
    std::string value;
    if (option == "--key" || option == "--out") {
      if (!parser.Value(value)) return Fail(err, option + " needs a value");
      (option == "--key" ? keyPath : outPath) = value;
    } else if (option.compare(0, 2, "--") == 0 || !manifest.empty()) {
      return Fail(err, "unexpected argument " + option + "\n" + kUsage);
    } else {
      manifest = option;
      ++parser.next;
    }
  }
  if (keyPath.empty() || manifest.empty())
    return Fail(err, std::string("sign needs --key and a MANIFEST\n") + kUsage);
  if (outPath.empty()) outPath = manifest + ".sig";
  std::string bytes, signature, error;
  if (!ReadLocalFile(manifest, bytes)) return Fail(err, "cannot read " + manifest);
  if (!SignBytes(keyPath, bytes, signature, error)) return Fail(err, error);
  if (!WriteLocalFile(outPath, signature)) return Fail(err, "cannot write " + outPath);
  return kExitClean;
}

}  // namespace

int RunManifestTool(const std::vector<std::string>& args, std::string& out, std::string& err) {
  SetTypicalMacroFolders();
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    (args.empty() ? err : out) += kUsage;
    return args.empty() ? kExitError : kExitClean;
  }
  if (args[0] == "lint") return Lint(args, out, err);
  if (args[0] == "build") return Build(args, out, err);
  if (args[0] == "keygen") return Keygen(args, err);
  if (args[0] == "sign") return Sign(args, err);
  return Fail(err, "unknown command " + args[0] + "\n" + kUsage);
}
