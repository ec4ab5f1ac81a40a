// Checking a manifest the way the setup manager reads it: the same parser options, lookups,
// record reading, duplicate rule and URL check, reporting what the program would silently
// ignore, misread, refuse or fail on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CLintFinding {
  int line;  // 1-based; 0 for the document as a whole
  std::string code;
  std::string message;
};

struct CLintOptions {
  std::string hostSuffix;  // the trusted host suffix of the build that reads the manifest
  // With both set, URLs under baseUrl name the files below filesFolder, which are then checked
  // too: present, archives holding the file, sizes and versions as the manifest gives them.
  std::string baseUrl;
  std::string filesFolder;
  // With a public key (DER), the manifest is read as a keyed setup manager reads it: `signature`
  // must verify on its bytes, UPDATELIST must carry a SERIAL of at least `minSerial`, every FILE
  // a SHA256 and every fetched run file a RUNSHA256.
  std::string publicKey;
  std::string signature;
  bool hasSignature = false;
  uint64_t minSerial = 0;
};

// Findings in the order of their lines (document-wide ones first).
std::vector<CLintFinding> LintManifest(const std::string& bytes, const CLintOptions& options);
