// AcqBase: the library's instance, its language library (string table) and
// the resource procedures the host calls to load and unload it. It links a
// termination procedure but registers no Initialize/Terminate pair.
#include "acq/frame/AcqBase.h"

#include "acq/AcqUnit.h"
#include "host/sys/LbStr.h"

namespace acq::AcqBase {
namespace {

constexpr const char* kModuleName = "PwAcq75";
constexpr const char* kDefaultLanguage = "enu";

HINSTANCE instance = nullptr;
// The language library's handle once the host loaded it; the library itself
// until then (the host overwrites it through LbUtil_LoadLanguageDLL).
HINSTANCE resourceInstance = nullptr;
UnitProc savedTermHead = nullptr;

void LoadResources(uintptr_t a, uintptr_t b) {
  LbUtil_LoadLanguageDLL(a, b, kModuleName, kDefaultLanguage, &resourceInstance, instance);
}

void UnloadResources(uintptr_t, uintptr_t) { LbUtil_UnLoadLanguageDLL(&resourceInstance, instance); }

void TermProc() {
  LbUtil_UnregisterResourceProcs(&LoadResources, &UnloadResources);
  unit::RunTermProc("AcqBase", savedTermHead);
}

}  // namespace

void SetInstance(HINSTANCE inst) { instance = inst; }
HINSTANCE Instance() { return instance; }
HINSTANCE ResourceInstance() { return resourceInstance; }

std::string LoadStr(int id) { return LbUtil_LoadString(resourceInstance, id); }

std::string LoadStrText(int id) {
  std::string caption, text;
  Lb_SplitCaption(LoadStr(id), caption, text);
  return text;
}

void Body() {
  resourceInstance = instance;
  unit::RunBody("AcqBase", &savedTermHead, &TermProc, nullptr, nullptr);
  LbUtil_RegisterResourceProcs(&LoadResources, &UnloadResources);
}

}  // namespace acq::AcqBase
