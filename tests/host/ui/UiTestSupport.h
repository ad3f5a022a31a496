// Test helpers for the UI side: a temporary folder, and a script driver
// installed for the scope with its transcript in a file.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "host/mr/MrUi.h"
#include "host/muc/UiDriver.h"

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "acq-ui-XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A script driver made from `script`, installed as the host's driver until
// the end of the scope.
class ScriptedUi {
 public:
  explicit ScriptedUi(const std::string& script) : transcriptPath_(dir_.File("transcript")) {
    std::string error;
    driver_ = Ui_MakeScriptDriver(script, "s.txt", transcriptPath_, &error);
    EXPECT_TRUE(driver_) << error;
    Ui_SetDriver(driver_.get());
  }
  ~ScriptedUi() { Ui_SetDriver(nullptr); }
  ScriptedUi(const ScriptedUi&) = delete;
  ScriptedUi& operator=(const ScriptedUi&) = delete;

  UiDriver& driver() { return *driver_; }
  std::string Transcript() const { return ReadWholeFile(transcriptPath_); }
  std::string FailReason() const {
    std::string reason;
    return driver_->Failed(&reason) ? reason : std::string();
  }

 private:
  TempDir dir_;
  std::string transcriptPath_;
  std::unique_ptr<UiDriver> driver_;
};

// Runs `text` as a driver's window action on the top window; "" or the
// failure.
inline std::string Act(const std::string& text) {
  UiAction action;
  std::string error;
  if (!Ui_ParseAction(text, action, &error)) return "parse: " + error;
  return MrUi_RunWindowAction(action, error) ? std::string() : error;
}
