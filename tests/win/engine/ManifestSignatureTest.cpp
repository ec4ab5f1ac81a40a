// The system's SHA-256 and signature verification as the setup manager calls them: known digests,
// a hash fed in pieces, and the refusals that come before any signature is checked.
#include "ManifestSignature.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "EngineTestSupport.h"
#include "SetupLog.h"
#include "SetupRun.h"
#include "Sha256.h"

namespace {

std::string Digest(const std::string& bytes) {
  CSha256 hash;
  CSha256Digest digest = {};
  EXPECT_TRUE(hash.Add(bytes.data(), bytes.size()));
  EXPECT_TRUE(hash.Finish(digest));
  return Sha256Text(digest);
}

TEST(Sha256Test, KnownDigests) {
  EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", Digest(""));
  EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", Digest("abc"));
}

// Pieces as the download and the extraction pass them, a reset starting over, and a whole file.
TEST(Sha256Test, PiecesResetAndFileGiveTheSameDigest) {
  std::string bytes(200000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  CSha256 hash;
  ASSERT_TRUE(hash.Add("stale", 5));
  hash.Reset();
  for (size_t at = 0; at < bytes.size(); at += 4096) {
    ASSERT_TRUE(hash.Take(bytes.data() + at, static_cast<DWORD>(std::min<size_t>(4096, bytes.size() - at))));
  }
  CSha256Digest digest = {};
  ASSERT_TRUE(hash.Finish(digest));
  EXPECT_EQ(Digest(bytes), Sha256Text(digest));

  CTestFolder folder("velsetup-sha256");
  const std::string path = folder / "file.bin";
  ASSERT_TRUE(WriteFileBytes(path, bytes));
  CSha256Digest fromFile = {};
  ASSERT_TRUE(HashFile(path.c_str(), fromFile));
  EXPECT_EQ(digest, fromFile);
  EXPECT_FALSE(HashFile((folder / "missing.bin").c_str(), fromFile));
}

TEST(ManifestSignatureTest, RefusedBeforeAnyCheckWithoutKeyOrWithAnOversizedSignature) {
  const unsigned char key[] = {0x30, 0x03, 0x02, 0x01, 0x00};
  std::string why;
  EXPECT_FALSE(VerifyManifestSignature("<UPDATELIST/>", std::string(256, 's'), nullptr, 0, why));
  EXPECT_EQ("no public key", why);
  EXPECT_FALSE(VerifyManifestSignature("<UPDATELIST/>", std::string(5000, 's'), key, sizeof key, why));
  EXPECT_EQ("signature of 5000 bytes", why);
  EXPECT_FALSE(VerifyManifestSignature("<UPDATELIST/>", "", key, sizeof key, why));
  EXPECT_EQ("signature of 0 bytes", why);
}

// A key that is no SubjectPublicKeyInfo fails closed, naming the call that refused it.
TEST(ManifestSignatureTest, KeyThatDoesNotDecodeIsARefusal) {
  const unsigned char key[] = {0x30, 0x03, 0x02, 0x01, 0x00};
  std::string why;
  EXPECT_FALSE(VerifyManifestSignature("<UPDATELIST/>", std::string(256, 's'), key, sizeof key, why));
  EXPECT_EQ(0u, why.find("CryptDecodeObjectEx(public key) Failed, Error Code = ")) << why;
}

// A system without the provider refuses: no digest, no verified signature.
TEST(ManifestSignatureTest, SystemWithoutTheProviderFailsClosed) {
  const unsigned char key[] = {0x30, 0x03, 0x02, 0x01, 0x00};
  SetCryptProviderTypeForTesting(999);
  CSha256 hash;
  CSha256Digest digest = {};
  const bool added = hash.Add("abc", 3);
  const bool finished = hash.Finish(digest);
  std::string why;
  const bool verified = VerifyManifestSignature("<UPDATELIST/>", std::string(256, 's'), key, sizeof key, why);
  SetCryptProviderTypeForTesting(0);
  EXPECT_FALSE(added);
  EXPECT_FALSE(finished);
  EXPECT_FALSE(verified);
  EXPECT_EQ(0u, why.find("CryptAcquireContext(PROV_RSA_AES) Failed, Error Code = ")) << why;
  EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", Digest("abc"));
}

}  // namespace
