// A log stored through a shared mapping on Windows: each step of it failing
// with the error Windows gives.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>
#include <vector>

#include "log_window_texts.h"
#include "platform/platform.h"
#include "rename/log_window.h"
#include "syscall_swap.h"
#include "temp_dir.h"

namespace shotrenum {
namespace {

using Win32LogWindow = testing::LogWindowDir;
using testing::LogTexts;
using testing::StoreTexts;
using testing::SyscallSwap;

testing::CallFailure<DWORD> failure;

BOOL WINAPI FailingSetEndOfFile(HANDLE) {
  SetLastError(failure.error);
  return FALSE;
}

HANDLE WINAPI FailingCreateFileMapping(HANDLE, LPSECURITY_ATTRIBUTES, DWORD, DWORD, DWORD, LPCWSTR) {
  SetLastError(failure.error);
  return nullptr;
}

LPVOID WINAPI FailingMapViewOfFile(HANDLE mapping, DWORD access, DWORD high, DWORD low, SIZE_T length) {
  if (!failure.Fails()) return MapViewOfFile(mapping, access, high, low, length);
  SetLastError(failure.error);
  return nullptr;
}

BOOL WINAPI CompressedFile(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) {
  const BOOL read = GetFileInformationByHandle(file, information);
  information->dwFileAttributes |= FILE_ATTRIBUTE_COMPRESSED;
  return read;
}

// Each step failing at the start leaves the file empty for plain writes, CR
// LF and all; a compressed file is not allocated (its clusters would come
// only when its pages are written back).
TEST_F(Win32LogWindow, AnyStepThatFailsAtTheStartLeavesTheFileToPlainWrites) {
  const std::vector<std::string> texts = LogTexts(MappingGranularity() + 100);
  const std::string plain = PlainBytes(texts);
  {
    const SyscallSwap compressed(syscalls.GetFileInformationByHandle, CompressedFile);
    EXPECT_EQ(StepOfFailure(failure, true, 0), FileStep::kUnsupported);
  }
  {
    const SyscallSwap mapping(syscalls.CreateFileMappingW, FailingCreateFileMapping);
    EXPECT_EQ(StepOfFailure(failure, false, ERROR_NOT_SUPPORTED), FileStep::kUnsupported);
    EXPECT_EQ(StepOfFailure(failure, false, ERROR_NOT_ENOUGH_MEMORY), FileStep::kFailed);
  }
  const SyscallSwap ending(syscalls.SetEndOfFile, FailingSetEndOfFile);
  EXPECT_EQ(StepOfFailure(failure, true, ERROR_DISK_FULL), FileStep::kNoSpace);
  EXPECT_EQ(StepOfFailure(failure, true, ERROR_INVALID_FUNCTION), FileStep::kUnsupported);
  EXPECT_EQ(StepOfFailure(failure, true, ERROR_IO_DEVICE), FileStep::kFailed);
  // Nor can a file be cut back whose end cannot be set.
  EXPECT_EQ(StoreTexts("full.csv", texts, plain.size(), 1).begun, LogWindowState::kNulTail);
  EXPECT_EQ(ReadBytes("full.csv"), "");
}

// A view that cannot be had on the way hands the rest to plain writes, which
// the C runtime turns to CR LF as the stores did themselves.
TEST_F(Win32LogWindow, AWindowThatCannotMoveOnHandsTheRestToPlainWrites) {
  const std::vector<std::string> texts = LogTexts(MappingGranularity() * 3);
  const std::string plain = PlainBytes(texts);
  const SyscallSwap view(syscalls.MapViewOfFile, FailingMapViewOfFile);
  failure = {ERROR_NOT_ENOUGH_MEMORY, 0, 2};
  ExpectPlainWritesFromPartway("view.csv", texts, plain);
}

}  // namespace
}  // namespace shotrenum
