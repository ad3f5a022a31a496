// A language library of the test's own: a string table and a dialog
// resource file written into a fresh folder and loaded for the scope, the
// way the module loads its resources.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "host/sys/RunTime.h"
#include "host/ui/UiTestSupport.h"

class TestResources {
 public:
  TestResources(const std::string& module, const std::string& dlgText) {
    std::filesystem::create_directories(dir_.File("resources"));
    std::ofstream(dir_.File("resources/" + module + ".enu.str")) << "0\tTest|\n";
    std::ofstream(dir_.File("resources/" + module + ".enu.dlg")) << dlgText;
    inst_ = Lib_RegisterInstance(dir_.File("lib" + module + ".so"), nullptr);
    LbUtil_LoadLanguageDLL(0, 0, module, "enu", &res_, inst_);
  }
  ~TestResources() {
    LbUtil_UnLoadLanguageDLL(&res_, inst_);
    Lib_UnregisterInstance(inst_);
  }
  TestResources(const TestResources&) = delete;
  TestResources& operator=(const TestResources&) = delete;

  HINSTANCE res() const { return res_; }

 private:
  TempDir dir_;
  HINSTANCE inst_ = nullptr;
  HINSTANCE res_ = nullptr;
};
