#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdio>
#include <memory>

#include "LocalFiles.h"
#include "ToolCrypto.h"

namespace {

constexpr int kKeyBits = 2048;

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct ContextFree {
  void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};
struct DigestFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct FileClose {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using CKey = std::unique_ptr<EVP_PKEY, KeyFree>;
using CDigestContext = std::unique_ptr<EVP_MD_CTX, DigestFree>;

std::string OpenSslError(const char* what) {
  char text[256] = {};
  ERR_error_string_n(ERR_get_error(), text, sizeof text);
  ERR_clear_error();
  return std::string(what) + ": " + text;
}

}  // namespace

bool Sha256Bytes(const std::string& bytes, CSha256Digest& digest) {
  unsigned int size = 0;
  return EVP_Digest(bytes.data(), bytes.size(), digest.data(), &size, EVP_sha256(), nullptr) == 1 &&
         size == digest.size();
}

bool VerifySignature(const std::string& data, const std::string& signature, const std::string& publicKey,
                     std::string& why) {
  const unsigned char* der = reinterpret_cast<const unsigned char*>(publicKey.data());
  const CKey key(d2i_PUBKEY(nullptr, &der, static_cast<long>(publicKey.size())));
  if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_RSA) {
    why = "the public key is no DER RSA SubjectPublicKeyInfo";
    ERR_clear_error();
    return false;
  }
  const CDigestContext context(EVP_MD_CTX_new());
  if (!context || EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1) {
    why = OpenSslError("EVP_DigestVerifyInit");
    return false;
  }
  if (EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                       signature.size(), reinterpret_cast<const unsigned char*>(data.data()),
                       data.size()) != 1) {
    why = "the signature does not verify";
    ERR_clear_error();
    return false;
  }
  return true;
}

bool MakeKeyPair(const std::string& privatePath, const std::string& publicPath, std::string& error) {
  const CKey key(EVP_RSA_gen(kKeyBits));
  if (!key) {
    error = OpenSslError("EVP_RSA_gen");
    return false;
  }
  const int descriptor = ::open(privatePath.c_str(), O_WRONLY | O_CREAT | O_EXCL, S_IRUSR | S_IWUSR);
  if (descriptor < 0) {
    error = "cannot create " + privatePath + " (an existing key is never replaced)";
    return false;
  }
  std::unique_ptr<std::FILE, FileClose> file(::fdopen(descriptor, "w"));
  if (!file) {
    ::close(descriptor);
    error = "cannot write " + privatePath;
    return false;
  }
  if (PEM_write_PrivateKey(file.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1 ||
      std::fclose(file.release()) != 0) {
    error = OpenSslError(("cannot write " + privatePath).c_str());
    return false;
  }
  unsigned char* der = nullptr;
  const int size = i2d_PUBKEY(key.get(), &der);
  if (size <= 0) {
    error = OpenSslError("i2d_PUBKEY");
    return false;
  }
  const std::string publicKey(reinterpret_cast<const char*>(der), static_cast<size_t>(size));
  OPENSSL_free(der);
  if (!WriteLocalFile(publicPath, publicKey)) {
    error = "cannot write " + publicPath;
    return false;
  }
  return true;
}

bool SignBytes(const std::string& privatePath, const std::string& data, std::string& signature,
               std::string& error) {
  std::unique_ptr<std::FILE, FileClose> file(std::fopen(privatePath.c_str(), "r"));
  if (!file) {
    error = "cannot read " + privatePath;
    return false;
  }
  const CKey key(PEM_read_PrivateKey(file.get(), nullptr, nullptr, nullptr));
  if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_RSA) {
    error = privatePath + " holds no PEM RSA private key";
    ERR_clear_error();
    return false;
  }
  const CDigestContext context(EVP_MD_CTX_new());
  size_t size = 0;
  if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1 ||
      EVP_DigestSign(context.get(), nullptr, &size, reinterpret_cast<const unsigned char*>(data.data()),
                     data.size()) != 1) {
    error = OpenSslError("EVP_DigestSign");
    return false;
  }
  signature.assign(size, '\0');
  if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(&signature[0]), &size,
                     reinterpret_cast<const unsigned char*>(data.data()), data.size()) != 1) {
    error = OpenSslError("EVP_DigestSign");
    return false;
  }
  signature.resize(size);
  return true;
}
