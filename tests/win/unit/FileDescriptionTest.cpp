#include "FileDescription.h"

#include <gtest/gtest.h>

#include "Answers.h"
#include "SetupRun.h"

namespace {

struct Case {
  const char* file;  // in the test program's folder
  const wchar_t* description;
};

// The harness's user language is Korean (0x0412).
const Case kCases[] = {
    {"velsetup_holder.exe", L"파일을 잡고 있는 프로그램"},  // the user's language, listed second
    {"velsetup_fixture.dll", L"Fixture library"},           // English by its low language bits
    {"velsetup_process_tests.exe", L"Orbina 자동 인스톨러"},
    {"description.txt", L""},  // no version resource
    {"missing.dll", L""},
};

TEST(FileDescription, ReadsTheTranslationThatSuitsTheUser) {
  const std::string folder = TestBinaryFolder();
  ASSERT_TRUE(WriteFileBytes(folder + "\\description.txt", "no version resource here"));
  ::DeleteFileA((folder + "\\missing.dll").c_str());
  for (const Case& c : kCases) {
    EXPECT_EQ(ToAnsi(c.description), GetFileDescription((folder + "\\" + c.file).c_str())) << c.file;
  }
  ::DeleteFileA((folder + "\\description.txt").c_str());
}

}  // namespace
