// Texts of a log stored through a LogWindow, and the same texts written
// plainly as the logs are written without a mapping, for the tests to compare.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/platform.h"
#include "rename/log_window.h"
#include "temp_dir.h"

namespace shotrenum::testing {

// A head and rows of the widths a process log has, none like another, at
// least `bytes` of them in all.
inline std::vector<std::string> LogTexts(std::size_t bytes) {
  std::vector<std::string> texts{"title\nverdict,before,after,date,time\n"};
  std::size_t total = texts[0].size();
  char row[96];
  for (int i = 0; total < bytes; ++i) {
    std::snprintf(row, sizeof row, "OK,G%07d.pcx,_tmp_1302685507_G%07d.pcx,2011/04/13,09:%02d:%02d:%02d\n", i, i,
                  i / 3600 % 60, i / 60 % 60, i % 60);
    texts.emplace_back(row);
    total += texts.back().size();
  }
  return texts;
}

inline std::uint64_t BytesOf(const std::vector<std::string>& texts, const char* lineEnd = TextLineEnd()) {
  std::uint64_t bytes = 0;
  for (const std::string& text : texts) bytes += LogWindowBytes(text, lineEnd);
  return bytes;
}

// What storing the texts gave.
struct Stored {
  LogWindowState begun;
  std::size_t plainFrom;  // the first text written plainly (all of them: none)
  LogWindowState ended;
};

// Stores the texts into a new file `name`, allocated to `size` bytes, through
// windows of `windowLength`. From the first text the window does not take,
// the rest are written plainly, as a log's writer goes on.
inline Stored StoreTexts(const char* name, const std::vector<std::string>& texts, std::uint64_t size,
                         std::size_t windowLength, const char* lineEnd = TextLineEnd()) {
  std::FILE* file = CreateNewTextFile(name);
  LogWindow log;
  Stored stored{BeginLogWindow(log, file, 0, size, windowLength, lineEnd), 0, LogWindowState::kMapped};
  LogWindowState state = stored.begun;
  while (stored.plainFrom < texts.size() && state == LogWindowState::kMapped) {
    state = StoreInLogWindow(log, texts[stored.plainFrom]);
    if (state == LogWindowState::kMapped) ++stored.plainFrom;
  }
  for (std::size_t i = stored.plainFrom; i < texts.size() && state == LogWindowState::kPlain; ++i) {
    WriteToFile(file, texts[i].data(), texts[i].size());
  }
  stored.ended = EndLogWindow(log);
  CloseFile(file);
  return stored;
}

// A system call that a test's function in the table makes fail: with which
// error, from which of its calls on.
template <typename Error>
struct CallFailure {
  Error error;
  int calls;     // made so far
  int failFrom;  // the first that fails
  // Counts a call; whether it fails.
  bool Fails() { return ++calls >= failFrom; }
};

// The answer of a platform step on a new file when the call that `failure`
// stands for fails with `error` from the first on: allocating the file, or
// mapping its first window.
template <typename Error>
FileStep StepOfFailure(CallFailure<Error>& failure, bool allocating, std::type_identity_t<Error> error) {
  failure = {error, 0, 1};
  std::FILE* file = CreateNewTextFile("step.csv");
  char* window = nullptr;
  const FileStep step = allocating ? AllocateFile(file, 100) : MapFileWindow(file, 0, 100, &window);
  CloseFile(file);
  std::remove("step.csv");
  return step;
}

// A directory to store logs in.
class LogWindowDir : public InTempDir {
 protected:
  // The bytes of the texts written plainly into a new file, as a log is
  // written without a mapping.
  static std::string PlainBytes(const std::vector<std::string>& texts) {
    std::FILE* file = CreateNewTextFile("plain.csv");
    for (const std::string& text : texts) WriteToFile(file, text.data(), text.size());
    CloseFile(file);
    return ReadBytes("plain.csv");
  }

  // Stores the texts into a new file `name`, allocated a little more than
  // they take, and expects the window to give up partway: the rest written
  // plainly right after the bytes stored leave `plain`, the texts as written
  // plainly.
  static void ExpectPlainWritesFromPartway(const char* name, const std::vector<std::string>& texts,
                                           const std::string& plain) {
    const Stored stored = StoreTexts(name, texts, plain.size() + 100, 1);
    EXPECT_EQ(stored.begun, LogWindowState::kMapped);
    EXPECT_GT(stored.plainFrom, 1u);
    EXPECT_LT(stored.plainFrom, texts.size());
    EXPECT_EQ(stored.ended, LogWindowState::kPlain);
    EXPECT_EQ(ReadBytes(name), plain);
  }
};

}  // namespace shotrenum::testing
