// The item's own decisions: the mode test and duplicate names.
#include "UpdateSet.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "XmlLookup.h"

namespace {

struct ModeCase {
  const char* xml;
  const char* mode;
  int expected;
};

TEST(CheckMode, Table) {
  // clang-format off
  const ModeCase cases[] = {
    {"<UPDATEITEM><MODE NAME='VelSetup'/></UPDATEITEM>", "velsetup", 1},
    {"<UPDATEITEM><MODE NAME='other'/></UPDATEITEM>", "velsetup", 0},
    {"<UPDATEITEM><FILE NAME='velsetup'/></UPDATEITEM>", "velsetup", 0},
    {"<UPDATEITEM><MODE NAME='a'/><MODE NAME='VELSETUP'/></UPDATEITEM>", "velsetup", 1},
    {"<UPDATEITEM><X><MODE NAME='velsetup'/></X></UPDATEITEM>", "velsetup", 0},  // not a direct child
    {"<UPDATEITEM><mode NAME='velsetup'/></UPDATEITEM>", "velsetup", 0},         // names match case
    {"<UPDATEITEM><MODE name='velsetup'/></UPDATEITEM>", "velsetup", 0},
    {"<UPDATEITEM><MODE NAME='velsetup '/></UPDATEITEM>", "velsetup", 0},
    // A trail byte that is a Latin letter is not folded.
    {"<UPDATEITEM><MODE NAME='\xB0\x61'/></UPDATEITEM>", "\xB0\x41", 0},
    {"<UPDATEITEM><MODE NAME='\xB0\x61x'/></UPDATEITEM>", "\xB0\x61X", 1},
  };
  // clang-format on
  for (const ModeCase& c : cases) {
    pugi::xml_document document;
    LoadMinimal(document, c.xml, std::strlen(c.xml));
    EXPECT_EQ(c.expected, CUpdateSet::CheckMode(document.first_child(), c.mode)) << c.xml << " / " << c.mode;
  }
}

struct DuplicateCase {
  std::vector<const char*> listed;
  const char* name;
  int found;  // index of the listed record found, -1 for none
};

TEST(FindUpdateFile, Table) {
  // clang-format off
  const DuplicateCase cases[] = {
    {{"a.dll"}, "A.DLL", 0},
    {{"a.dll", "b.dll"}, "B.dll", 1},
    {{"a.dll"}, "a.dl", -1},
    {{}, "a.dll", -1},
    {{"\xB0\x41.dll"}, "\xB0\x61.dll", -1},  // the names differ only in a trail byte
    {{"\xB0\x41.dll"}, "\xB0\x41.DLL", 0},
    {{"\xB0\x41\x61.dll"}, "\xB0\x41\x41.dll", 0},  // the byte after a whole character folds
  };
  // clang-format on
  for (const DuplicateCase& c : cases) {
    CUpdateSet set;
    for (const char* name : c.listed) {
      set.m_arrUpdateFile.push_back(std::make_unique<CUpdateFile>());
      set.m_arrUpdateFile.back()->m_strName = name;
    }
    const CUpdateFile* expected = c.found < 0 ? nullptr : set.m_arrUpdateFile[c.found].get();
    EXPECT_EQ(expected, set.FindUpdateFile(c.name)) << c.name;
  }
}

}  // namespace
