#include "CommandLine.h"

#include <cstring>

#include "Decimal.h"
#include "InstallParam.h"
#include "SetupLog.h"

namespace {

char OptionLetter(const char* argument) {
  if (argument[0] != '-' || argument[1] == '\0') return '\0';
  const char letter = argument[1];
  return (letter >= 'A' && letter <= 'Z') ? static_cast<char>(letter - 'A' + 'a') : letter;
}

}  // namespace

int ParseCommandLine(int argc, const char* const* argv, CInstallSettings& settings,
                     CCommandLineFlags& flags) {
  int result = 1;
  if (argc <= 1) {
    settings.SetNoArgumentDefaults();
    return 1;
  }
  for (int i = 1; i < argc; ++i) {
    switch (OptionLetter(argv[i])) {
      case 'x': {
        if (i + 1 >= argc) return result;
        const char* param = argv[++i];
        const size_t length = std::strlen(param);
        if (length > kInstallParamLimit) {
          // Refused rather than cut: a shortened parameter could still parse into a
          // different run than the page asked for.
          LogWrite(1, "[ParseCommandLine] Install parameter too long (%u > %u bytes)",
                   static_cast<unsigned>(length), static_cast<unsigned>(kInstallParamLimit));
          result = 0;
        } else {
          result = settings.ParseXMLArgument(param) ? 1 : 0;
        }
        break;
      }
      case 'u':
        flags.m_bUninstall = 1;
        break;
      case 'w':
        if (i + 1 >= argc) return result;
        flags.m_nNotifyWindow = ParseHandleValue(argv[++i]);
        break;
      default:
        break;
    }
  }
  return result;
}
