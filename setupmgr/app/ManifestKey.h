// The public key manifests are verified with, compiled in from the build setting
// VELSETUP_MANIFEST_PUBLIC_KEY (a DER SubjectPublicKeyInfo file). A build without one has no key:
// it reads manifests unsigned, as they come.
#pragma once

#include <cstddef>

struct CManifestKey {
  const unsigned char* data;
  size_t size;  // 0: no key
};

CManifestKey ManifestPublicKey();
