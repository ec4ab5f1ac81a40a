#include "InstallParam.h"

#include <pugixml.hpp>

#include "BuildConfig.h"
#include "Decimal.h"
#include "SetupLog.h"
#include "XmlLookup.h"

namespace {

// Finds the element at a "/"-separated path from the document root; with several PARAM
// elements the first one that has the child wins. Its value is the first child's text as
// written, empty for an empty or white-space-only element.
bool FindValue(const pugi::xml_document& document, const char* path, std::string& value) {
  const pugi::xml_node element = document.first_element_by_path(path, '/');
  if (!element) return false;
  value = ElementText(element);
  return true;
}

}  // namespace

bool CInstallSettings::ParseXMLArgument(const char* text) {
  LogWrite(2, "CDlgDownload::ParseXMLArgument(%s)", text);

  pugi::xml_document document;
  LoadMinimal(document, text, std::char_traits<char>::length(text));

  std::string value;
  if (FindValue(document, "/PARAM/SOURCE/", value)) m_strSourceURL = value;
  if (FindValue(document, "/PARAM/MODE/", value)) m_strMode = value;
  if (FindValue(document, "/PARAM/FORCEDELETE/", value)) m_nForceDelete = ParseAtoi(value.c_str());
  if (FindValue(document, "/PARAM/SHOWDLG/", value)) m_nShowDlg = ParseAtoi(value.c_str());

  if (m_strSourceURL.empty()) {
    LogWrite(1, "[ParseXMLArgument] m_strSourceURL.GetLength()== 0");
    return false;
  }
  if (m_strMode.empty()) {
    LogWrite(1, "[ParseXMLArgument] m_strMode.GetLength()== 0");
    return false;
  }
  return true;
}

void CInstallSettings::SetNoArgumentDefaults() {
  m_strSourceURL = VELSETUP_DEFAULT_MANIFEST_URL;
  m_strMode = "velsetup";
  m_nForceDelete = 0;
  m_nShowDlg = 1;
}
