// The control's site lock: a browser hands the control its site, and only a page of the trusted
// host may write the install parameter, start a run or query files and objects. A stand-in site
// reports chosen URLs; the recorder program stands in for VelSetup.exe and records each start.
#include <gtest/gtest.h>
#include <ocidl.h>

#include "Answers.h"
#include "ControlTestSupport.h"
#include "SetupProtocol.h"
#include "SetupRun.h"
#include "StandInSite.h"

namespace {

enum class Attach {
  kNone,        // never sited: a program that creates the control
  kSetSite,     // IObjectWithSite::SetSite
  kClientSite,  // IOleObject::SetClientSite
  kTakenAway,   // SetSite, then SetSite(null)
};

struct SiteCase {
  const char* name;
  Attach attach;
  StandInKind kind;
  const wchar_t* document;  // the URL of the document that holds the control; null: no document
  const wchar_t* browser;   // the browser's address; null: no browser
  BOOL securityManager;     // the host offers a security manager, as every browser does
  bool allowed;
};

const wchar_t kTrusted[] = L"http://www.orbina.com/portal/index.html";
const wchar_t kForeign[] = L"http://www.example.com/";
constexpr StandInKind kClient = kStandInClientSite;
constexpr StandInKind kScript = kStandInScriptSite;

// clang-format off
const SiteCase kCases[] = {
    {"never_sited", Attach::kNone, kClient, nullptr, nullptr, FALSE, true},
    {"trusted_http_page", Attach::kSetSite, kClient, kTrusted, nullptr, TRUE, true},
    {"trusted_https_page", Attach::kSetSite, kClient, L"https://update.orbina.com/x", nullptr, TRUE, true},
    {"trusted_page_as_client_site", Attach::kClientSite, kClient, L"https://www.orbina.com/", nullptr, TRUE, true},
    {"script_of_trusted_page", Attach::kSetSite, kScript, nullptr, kTrusted, TRUE, true},
    {"script_host", Attach::kSetSite, kScript, nullptr, nullptr, FALSE, true},
    {"foreign_frame_in_trusted_browser", Attach::kSetSite, kClient, kForeign, kTrusted, TRUE, false},
    {"another_host", Attach::kClientSite, kClient, kForeign, nullptr, TRUE, false},
    {"script_of_another_host", Attach::kSetSite, kScript, nullptr, kForeign, TRUE, false},
    {"look_alike_host", Attach::kSetSite, kClient, L"http://evilorbina.com/", nullptr, TRUE, false},
    {"file_page", Attach::kSetSite, kClient, L"file:///C:/portal/index.html", nullptr, TRUE, false},
    {"blank_page", Attach::kSetSite, kClient, L"about:blank", nullptr, TRUE, false},
    {"container_without_url", Attach::kClientSite, kClient, nullptr, nullptr, FALSE, false},
    {"script_in_browser_without_url", Attach::kSetSite, kScript, nullptr, nullptr, TRUE, false},
    {"site_taken_away", Attach::kTakenAway, kClient, kTrusted, nullptr, TRUE, false},
};
// clang-format on

const wchar_t kStoredBefore[] = L"<PARAM><SOURCE>before</SOURCE></PARAM>";
const wchar_t kWrittenByPage[] = L"<PARAM><SOURCE>page</SOURCE></PARAM>";

void AttachSite(IVelSetupCtrl* control, Attach attach, IUnknown* site) {
  CComPtrLite<IObjectWithSite> withSite;
  CComPtrLite<IOleObject> oleObject;
  ASSERT_EQ(control->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(withSite.Put())), S_OK);
  ASSERT_EQ(control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(oleObject.Put())), S_OK);
  if (attach == Attach::kClientSite) {
    CComPtrLite<IOleClientSite> client;
    ASSERT_EQ(site->QueryInterface(IID_IOleClientSite, reinterpret_cast<void**>(client.Put())), S_OK);
    ASSERT_EQ(oleObject->SetClientSite(client.Get()), S_OK);
    CComPtrLite<IOleClientSite> given;
    EXPECT_EQ(oleObject->GetClientSite(given.Put()), S_OK);
    EXPECT_EQ(given.Get(), client.Get());
  } else if (attach != Attach::kNone) {
    ASSERT_EQ(withSite->SetSite(site), S_OK);
    CComPtrLite<IUnknown> given;
    EXPECT_EQ(withSite->GetSite(IID_IUnknown, reinterpret_cast<void**>(given.Put())), S_OK);
    EXPECT_EQ(given.Get(), site);
    if (attach == Attach::kTakenAway) {
      ASSERT_EQ(withSite->SetSite(nullptr), S_OK);
      EXPECT_EQ(withSite->GetSite(IID_IUnknown, reinterpret_cast<void**>(given.Put())), E_FAIL);
    }
  }
}

class ControlSiteTest : public ::testing::TestWithParam<SiteCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(::CopyFileA((BinFolder() + "\\fixtures\\recorder.exe").c_str(), m_program.c_str(), FALSE));
    ::DeleteFileA(m_record.c_str());
    ::SetEnvironmentVariableA("VELSETUP_RECORD_FILE", m_record.c_str());
  }
  void TearDown() override {
    ::SetEnvironmentVariableA("VELSETUP_RECORD_FILE", nullptr);
    ::DeleteFileA(m_record.c_str());
    ::DeleteFileA(m_program.c_str());
  }
  // The install parameters of the starts recorded so far, in order.
  std::vector<std::string> StartedParams() const {
    std::vector<std::string> params;
    const std::string record = ReadFileBytes(m_record);
    for (size_t at = record.find(" -x \""); at != std::string::npos; at = record.find(" -x \"", at + 1)) {
      params.push_back(record.substr(at + 5, record.find("\" -w ", at) - at - 5));
    }
    return params;
  }

  const std::string m_program = SystemFolder() + "VelSetup.exe";
  const std::string m_record = SystemFolder() + "velsetup-site.record";
};

TEST_P(ControlSiteTest, OnlyTrustedPagesDriveTheControl) {
  const SiteCase& row = GetParam();
  const CComPtrLite<IVelSetupCtrl> control = CreateControl();
  ASSERT_EQ(control->put_InstallParam(CBstr(kStoredBefore).Get()), S_OK);
  CComPtrLite<IUnknown> site;
  *site.Put() = CreateStandInSite(row.kind, row.document, row.browser, row.securityManager);
  AttachSite(control.Get(), row.attach, site.Get());

  const HRESULT locked = row.allowed ? S_OK : E_ACCESSDENIED;
  const CBstr dll(ControlDllPath());
  short result = -1;
  BSTR version = nullptr;
  EXPECT_EQ(control->put_InstallParam(CBstr(kWrittenByPage).Get()), locked);
  EXPECT_EQ(control->CheckObjInstall(CBstr(kControlClsid).Get(), &result), locked);
  EXPECT_EQ(control->GetFileVersion(dll.Get(), &version), locked);
  EXPECT_EQ(version != nullptr, row.allowed);
  ::SysFreeString(version);
  EXPECT_EQ(control->CheckUpdate(dll.Get(), CBstr(L"1,0,0,11").Get(), &result), locked);
  EXPECT_EQ(control->IsLoaded(&result), S_OK);
  EXPECT_EQ(control->GetStatus(&result), S_OK);
  if (!row.allowed) {
    EXPECT_EQ(control->StartUpdate(&result), E_ACCESSDENIED);
  }
  result = -1;
  EXPECT_EQ(control->WaitUpdate(&result), locked);
  EXPECT_EQ(result, row.allowed ? SETUP_STATUS_STARTED : -1);
  if (row.allowed) {
    EXPECT_EQ(StartedParams(), std::vector<std::string>{ToAnsi(kWrittenByPage)});
  } else {
    EXPECT_EQ(StartedParams(), std::vector<std::string>());
    EXPECT_EQ(control->GetStatus(&result), S_OK);
    EXPECT_EQ(result, 0);
    // Moved to a trusted page, the control starts with the parameter stored before.
    *site.Put() = CreateStandInSite(kStandInClientSite, kTrusted, nullptr, TRUE);
    AttachSite(control.Get(), Attach::kSetSite, site.Get());
    EXPECT_EQ(control->WaitUpdate(&result), S_OK);
    EXPECT_EQ(StartedParams(), std::vector<std::string>{ToAnsi(kStoredBefore)});
  }
}

INSTANTIATE_TEST_SUITE_P(Pages, ControlSiteTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SiteCase>& info) { return info.param.name; });

}  // namespace
