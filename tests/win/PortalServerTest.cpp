// The portal server of the harness answers WinINet requests for the trusted host through the
// prefix's proxy setting.
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include "Portal.h"

namespace {

struct InternetHandle {
  HINTERNET handle;
  ~InternetHandle() {
    if (handle != nullptr) ::InternetCloseHandle(handle);
  }
};

DWORD StatusCode(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof status;
  ::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
  return status;
}

std::string ReadAll(HINTERNET request) {
  std::string body;
  char block[4096];
  DWORD read = 0;
  while (::InternetReadFile(request, block, sizeof block, &read) && read > 0) body.append(block, read);
  return body;
}

TEST(PortalServerTest, ServesTrustedHostThroughProxySetting) {
  ASSERT_TRUE(portal::Available()) << "run inside the harness session";
  ASSERT_TRUE(portal::Put("orbina/velsetup/hello.txt", "hello from the portal"));
  ASSERT_TRUE(portal::SetFaults("/orbina/velsetup/gone.txt status=404\n"));

  InternetHandle session{::InternetOpenA("VelSetupTest", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)};
  ASSERT_NE(session.handle, nullptr);
  {
    InternetHandle request{::InternetOpenUrlA(session.handle,
                                              "http://update.orbina.com/orbina/velsetup/hello.txt", nullptr,
                                              0, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)};
    ASSERT_NE(request.handle, nullptr) << ::GetLastError();
    EXPECT_EQ(StatusCode(request.handle), 200u);
    EXPECT_EQ(ReadAll(request.handle), "hello from the portal");
  }
  {
    InternetHandle request{::InternetOpenUrlA(session.handle,
                                              "http://update.orbina.com/orbina/velsetup/gone.txt", nullptr, 0,
                                              INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)};
    ASSERT_NE(request.handle, nullptr) << ::GetLastError();
    EXPECT_EQ(StatusCode(request.handle), 404u);
  }
  portal::SetFaults("");
  EXPECT_NE(portal::RequestLog().find("update.orbina.com:80/orbina/velsetup/hello.txt -> 200"),
            std::string::npos);
}

}  // namespace
