#include "host/sys/RunTime.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "PanicCatcher.h"

namespace fs = std::filesystem;

namespace {

std::string g_log;

// Three unit bodies as the module writes them: each keeps the previous chain
// head and re-installs it when its own termination procedure runs.
UnitProc g_prevA, g_prevB, g_prevC;
void TermA() { g_log += "A"; Lib_SwapTermChainHead(g_prevA); }
void TermB() { g_log += "B"; Lib_SwapTermChainHead(g_prevB); }
void TermC() { g_log += "C"; Lib_SwapTermChainHead(g_prevC); }

TEST(RunTime, TerminationChainRunsInReverseOfInstallation) {
  g_log.clear();
  Lib_ResetTermChain();
  g_prevA = Lib_SwapTermChainHead(&TermA);
  g_prevB = Lib_SwapTermChainHead(&TermB);
  g_prevC = Lib_SwapTermChainHead(&TermC);
  EXPECT_EQ(g_prevA, &Lib_TermChainFinal);
  Lib_RunTermChain();
  EXPECT_EQ(g_log, "CBA");
  EXPECT_EQ(Lib_ktPhase(), kPhaseUnloading);
  Lib_RunTermChain();  // the head is the final entry again: nothing runs
  EXPECT_EQ(g_log, "CBA");
}

TEST(RunTime, RegisteredProcsRunInOrderAndTerminateInReverse) {
  g_log.clear();
  Lib_ForgetRegisteredProcs();
  _RegisterInitializeTerminate([] { g_log += "i1"; }, [] { g_log += "t1"; }, 1);
  _RegisterInitializeTerminate([] { g_log += "i2"; }, [] { g_log += "t2"; }, 1);
  _RegisterInitializeTerminate([] { g_log += "i3"; }, [] { g_log += "t3"; }, 1);
  Lib_RunInitializeProcs();
  Lib_RunTerminateProcs();
  EXPECT_EQ(g_log, "i1i2i3t3t2t1");
  Lib_ForgetRegisteredProcs();
  Lib_RunTerminateProcs();
  EXPECT_EQ(g_log, "i1i2i3t3t2t1");
}

TEST(RunTime, CompatibleComparesModuleAndFirstTwoVersionFields) {
  struct Case { const char* id; const char* version; bool want; };
  const Case cases[] = {
      {"PWACQ", "7.5.127.77", true}, {"PWACQ", "7.5", true},
      {"PWACQ", "7.50.1.1", false},  {"PWACQ", "7.4.127.77", false},
      {"PWACQ", "7", false},         {"PWCIRC", "7.5.127.77", false},
      {"pwacq", "7.5.127.77", false}, {"PWACQ", "", false},
  };
  for (const Case& c : cases) EXPECT_EQ(Lib_Compatible(c.id, c.version), c.want) << c.id << " " << c.version;
  Lib_SetHostVersion("8.0");
  EXPECT_FALSE(Lib_Compatible("PWACQ", "7.5.127.77"));
  EXPECT_TRUE(Lib_Compatible("PWACQ", "8.0.1.2"));
  Lib_SetHostVersion("7.5");
}

TEST(RunTime, ErrorsGoToTheSinkAndPanicsToTheHook) {
  PanicCatcher catcher;
  KtSystem_Error1("AcqDb.Execute: command %s not set up", "LoadPo");
  KtSystem_Error1("count %d", "3");
  EXPECT_EQ(PanicText([] { KtSystem_Panic1("AcqDbExcept.CommitTrans: count %u", "0"); }),
            "AcqDbExcept.CommitTrans: count 0");
  ASSERT_EQ(PanicCatcher::Shown().size(), 3u);
  EXPECT_EQ(PanicCatcher::Shown()[0], "AcqDb.Execute: command LoadPo not set up");
  EXPECT_EQ(PanicCatcher::Shown()[1], "count 3");
}

TEST(RunTimeDeathTest, PanicWithoutHookEndsWithStatus70) {
  EXPECT_EXIT(KtSystem_Panic("AcqDb.Terminate: broken"), testing::ExitedWithCode(70),
              "AcqDb.Terminate: broken");
}

// A module folder in a temp dir: "<dir>/libPwAcq75.so" (never opened) and
// its string tables in "<dir>/resources".
class LanguageTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("acq_lang_" + std::to_string(::getpid()));
    fs::create_directories(dir_ / "resources");
    inst_ = Lib_RegisterInstance((dir_ / "libPwAcq75.so").string(), nullptr);
    g_inst = inst_;
    g_res = inst_;
    unsetenv("ACQ_LANG");
  }
  void TearDown() override {
    unsetenv("ACQ_LANG");
    Lib_UnregisterInstance(inst_);
    fs::remove_all(dir_);
  }
  void WriteTable(const char* lang, const std::string& text) {
    std::ofstream(dir_ / "resources" / (std::string("PwAcq75.") + lang + ".str")) << text;
  }
  // What AcqBase's resource procedures do.
  static void Load(uintptr_t a, uintptr_t b) {
    g_loaded = LbUtil_LoadLanguageDLL(a, b, "PwAcq75", "enu", &g_res, g_inst);
  }
  static void Unload(uintptr_t, uintptr_t) { LbUtil_UnLoadLanguageDLL(&g_res, g_inst); }

  fs::path dir_;
  HINSTANCE inst_ = nullptr;
  static inline HINSTANCE g_inst = nullptr;
  static inline HINSTANCE g_res = nullptr;
  static inline bool g_loaded = false;
};

TEST_F(LanguageTest, RegisteringLoadsTheStringTableAtOnce) {
  WriteTable("enu",
             "# module strings\n"
             "0\tAcquisitions (%1:%2)\n"
             "1\tDynamic Data Exchange Message|An error has occurred.\\nTry again.\r\n"
             "\n"
             "bad line\n"
             "214\tFeatures|Tab\\there, backslash \\\\n stays\n");
  LbUtil_RegisterResourceProcs(&Load, &Unload);
  ASSERT_TRUE(g_loaded);
  ASSERT_NE(g_res, inst_);
  EXPECT_EQ(LbUtil_LoadString(g_res, 0), "Acquisitions (%1:%2)");
  EXPECT_EQ(LbUtil_LoadString(g_res, 1), "Dynamic Data Exchange Message|An error has occurred.\nTry again.");
  EXPECT_EQ(LbUtil_LoadString(g_res, 214), "Features|Tab\there, backslash \\n stays");
  EXPECT_EQ(LbUtil_LoadString(g_res, 999), "");

  LbUtil_UnregisterResourceProcs(&Load, &Unload);
  EXPECT_EQ(g_res, inst_);  // back to the library itself
  EXPECT_EQ(LbUtil_LoadString(g_res, 0), "");
}

TEST_F(LanguageTest, HostLanguageFallsBackToTheDefault) {
  WriteTable("enu", "5\tEnglish\n");
  WriteTable("fra", "5\tFrançais\n");
  setenv("ACQ_LANG", "fra", 1);
  Load(0, 0);
  EXPECT_EQ(LbUtil_LoadString(g_res, 5), "Français");
  Unload(0, 0);
  setenv("ACQ_LANG", "deu", 1);  // no German table
  Load(0, 0);
  EXPECT_EQ(LbUtil_LoadString(g_res, 5), "English");
  Unload(0, 0);
  fs::remove_all(dir_ / "resources");
  Load(0, 0);
  EXPECT_FALSE(g_loaded);
  EXPECT_EQ(g_res, inst_);
}

TEST(RunTime, TraceLinesFromManyThreadsStayWhole) {
  fs::path file = fs::temp_directory_path() / ("acq_trace_" + std::to_string(::getpid()));
  setenv("ACQ_TRACE", file.c_str(), 1);
  Lib_SetTrace(true);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) Lib_Trace("AcqDb.Initialize thread " + std::to_string(t) + " line");
    });
  }
  for (auto& th : threads) th.join();
  Lib_SetTrace(false);
  Lib_Trace("not written");
  unsetenv("ACQ_TRACE");

  std::ifstream in(file);
  std::string line;
  int count = 0;
  while (std::getline(in, line)) {
    ++count;
    EXPECT_EQ(line.rfind("trace: AcqDb.Initialize thread ", 0), 0u) << line;
    EXPECT_EQ(line.substr(line.size() - 5), " line") << line;
  }
  EXPECT_EQ(count, 800);
  fs::remove(file);
}

}  // namespace
