// What only Windows shows: the loose Win32 name search, times that come with
// the listing, names that differ only in case, and what the shipped .exe
// tells Windows about itself.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "shots/scan.h"
#include "temp_dir.h"

namespace shotrenum {
namespace {

using Win32Platform = testing::InTempDir;

// How many entries the search delivers, screenshots or not.
int CountListed() {
  ShotSearch* search = StartShotSearch();
  if (search == nullptr) return 0;
  int listed = 0;
  ShotEntry entry;
  while (NextShotEntry(search, &entry)) ++listed;
  EndShotSearch(search);
  return listed;
}

TEST_F(Win32Platform, KeepsOnlyTwelveByteNamesOfTheLooseSearch) {
  // Their 8.3 short names (G000~1U0.PCX and the like) fit the pattern.
  for (const char* name : {"G00000001.pcx", "GABCDEFGHIJK.pcx", "G0000005.pcxx", "G0000003.pcx"}) Touch(name);
  ASSERT_GT(CountListed(), 1) << "the search returned no extra names; nothing to filter";
  ASSERT_EQ(CountShots(), 1);
  ShotRecord records[2] = {};
  ASSERT_EQ(CollectShots(records, 2), 1);
  EXPECT_STREQ(records[0].name, "G0000003.pcx");
}

TEST_F(Win32Platform, TakesTheListedWriteTimeToTheTick) {
  Touch("G0000001.pcx");
  // Both halves differ, and the low one has its top bit set.
  const ::FILETIME written = {0x89ABCDEFu, 0x01CBF9C3u};
  {
    const HANDLE file = CreateFileA("G0000001.pcx", FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
    CloseHandle(file);
  }
  ShotRecord record{};
  ASSERT_EQ(CollectShots(&record, 1), 1);
  EXPECT_EQ(record.writeTime.dwHighDateTime, written.dwHighDateTime);
  EXPECT_EQ(record.writeTime.dwLowDateTime, written.dwLowDateTime);
}

TEST_F(Win32Platform, NeverRenamesOntoANameThatDiffersOnlyInCase) {
  Touch("G0000000.pcx", "zero");
  Touch("_tmp_1_g0000005.PCX", "five");
  EXPECT_FALSE(RenameWithoutReplace("_tmp_1_g0000005.PCX", "g0000000.PCX"));
  EXPECT_EQ(Read("G0000000.pcx"), "zero");
  EXPECT_EQ(Read("_tmp_1_g0000005.PCX"), "five");
}

// The shipped .exe as Windows reads it: Explorer's properties take its version
// information, the loader its manifest. ctest names it in SHOTRENUM_EXE.
TEST(ShippedExe, CarriesItsVersionAndManifest) {
  const char* exe = std::getenv("SHOTRENUM_EXE");
  if (exe == nullptr) GTEST_SKIP() << "SHOTRENUM_EXE is not set";
  std::vector<char> info(GetFileVersionInfoSizeA(exe, nullptr));
  ASSERT_FALSE(info.empty()) << exe << " has no version information";
  ASSERT_TRUE(GetFileVersionInfoA(exe, 0, static_cast<DWORD>(info.size()), info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
  const DWORD version = MAKELONG(SHOTRENUM_VERSION_MINOR, SHOTRENUM_VERSION_MAJOR);
  EXPECT_EQ(fixed->dwFileVersionMS, version);
  EXPECT_EQ(fixed->dwProductVersionMS, version);
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, SHOTRENUM_VERSION_PATCH)));
  auto text = [&](const wchar_t* name) {
    wchar_t* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\041104B0\\") + name;
    if (!VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) return std::wstring();
    return std::wstring(value);
  };
  EXPECT_EQ(text(L"ProductName"), L"shotrenum");
  EXPECT_EQ(text(L"FileDescription"), L"スクリーンショットのファイル名を撮影順の連番に付け直すツール");
  EXPECT_EQ(text(L"FileVersion"), SHOTRENUM_VERSION_TEXT);
  EXPECT_EQ(text(L"ProductVersion"), SHOTRENUM_VERSION_TEXT);
  EXPECT_EQ(text(L"LegalCopyright"), L"Copyright © 2026 The shotrenum developers");

  const HMODULE module = LoadLibraryExA(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
  ASSERT_NE(found, nullptr) << "no application manifest";
  const std::string manifest(static_cast<const char*>(LockResource(LoadResource(module, found))),
                             SizeofResource(module, found));
  FreeLibrary(module);
  EXPECT_NE(manifest.find(R"(level="asInvoker")"), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos) << "Windows 10 and 11";
}

}  // namespace
}  // namespace shotrenum
