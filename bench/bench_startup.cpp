// Start-up time of the module: from loading the library to the result of
// the start-up message (log-in, privileges and parameters loaded), on a demo
// database in a temporary folder. Shut-down is run but not timed.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "host/db/DbAdmin.h"
#include "host/db/PwDb.h"
#include "host/sys/RunTime.h"
#include "host/win32/Win32.h"

namespace {

namespace fs = std::filesystem;

using EntryProc = int32_t (*)(HINSTANCE, uint32_t, void*);
using SetHwndProc = void (*)(HWND, HWND);

struct Demo {
  fs::path dir = fs::temp_directory_path() / ("acq-bench-" + std::to_string(getpid()));
  std::string db = (dir / "demo.db").string();
  Demo() {
    fs::create_directories(dir);
    setenv("ACQ_WORKSTATION", (dir / "workstation.ini").c_str(), 1);
    DbMsg msg;
    if (DbAdmin_CreateDatabase(db, true, msg) != kDbOk) {
      std::fprintf(stderr, "cannot create the demo database: %s\n", msg.text.c_str());
      std::exit(1);
    }
    DbGlobal_globRec = DbGlobalRec{db, "admin", "admin", "acq", "MAIN"};
  }
  ~Demo() { fs::remove_all(dir); }
};

void BM_StartupLoadToResult(benchmark::State& state) {
  static Demo demo;
  const std::string path = ACQ_BIN_DIR "/libPwAcq75.so";
  int loads = 0;
  for (auto _ : state) {
    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) {
      state.SkipWithError(dlerror());
      return;
    }
    auto entry = reinterpret_cast<EntryProc>(dlsym(lib, "DllEntryPoint"));
    auto setHwnd = reinterpret_cast<SetHwndProc>(dlsym(lib, "SetHwnd"));
    auto mainProc = reinterpret_cast<WNDPROC>(dlsym(lib, "MainWndProc"));
    HINSTANCE inst = Lib_RegisterInstance(path, lib);
    Lib_ResetTermChain();
    if (entry(inst, 1, nullptr) == 0) {
      state.SkipWithError("module refused");
      return;
    }
    Lib_RunInitializeProcs();
    // A class per load: the module may land at another address each time.
    const std::string clientClass = "BenchClient" + std::to_string(++loads);
    RegisterClassW("BenchFrame", &DefWindowProcW);
    RegisterClassW(clientClass, mainProc);
    HWND frame = CreateWindowW("BenchFrame", "Acquisitions", nullptr);
    HWND client = CreateWindowW(clientClass, "", frame);
    setHwnd(frame, client);
    const LRESULT result = SendMessageW(client, 0x0BD0, 0, 0);

    state.PauseTiming();
    if (result != 0) state.SkipWithError("start-up failed");
    SendMessageW(client, WM_CLOSE, 0, 0);
    DestroyWindow(frame);
    Lib_RunTerminateProcs();
    entry(inst, 0, nullptr);
    Lib_ForgetRegisteredProcs();
    Lib_UnregisterInstance(inst);
    dlclose(lib);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_StartupLoadToResult)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
