// A fresh directory that a test works in as its current directory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace shotrenum::testing {

class InTempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    home_ = std::filesystem::current_path();
    dir_ = std::filesystem::temp_directory_path() / ("shotrenum-unit-" + std::to_string(seed()));
    std::filesystem::create_directory(dir_);
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(home_);
    std::filesystem::remove_all(dir_);
  }

  static void Touch(const std::string& name, const std::string& content = "") {
    std::ofstream(name, std::ios::binary) << content;
  }
  // Reads in text mode: on Windows a CR LF comes back as LF.
  static std::string Read(const std::string& name) { return ReadAll(std::ifstream(name)); }
  // Reads the bytes as they are on disk.
  static std::string ReadBytes(const std::string& name) { return ReadAll(std::ifstream(name, std::ios::binary)); }
  static bool Exists(const std::string& name) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(name, ignored));
  }

 private:
  static std::string ReadAll(std::ifstream&& in) { return std::string(std::istreambuf_iterator<char>(in), {}); }

  std::filesystem::path home_;
  std::filesystem::path dir_;
};

}  // namespace shotrenum::testing
