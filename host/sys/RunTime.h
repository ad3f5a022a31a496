// The host run-time as a loaded module sees it: instance handles, the
// registration of unit Initialize/Terminate procedures, the unit-termination
// chain, the run phase, version acceptance, fatal errors, the language
// library with the module's string table and menus, and the host's trace.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// ---- instances ---------------------------------------------------------------
// A loaded library as the host knows it (what Win32 calls an HINSTANCE).
struct InstanceImpl;
using HINSTANCE = InstanceImpl*;
// The loader (the host frame) registers each library it loads.
HINSTANCE Lib_RegisterInstance(std::string_view path, void* dlHandle);
void Lib_UnregisterInstance(HINSTANCE inst);
// Full path of the library file; its folder holds the resources folder.
std::string Lib_GetModulePath(HINSTANCE inst);

// ---- unit registration ---------------------------------------------------------
using UnitProc = void (*)();
// Registers a unit's pair. The host calls every Initialize, in registration
// order, after the library entry returned and before the first message, and
// every Terminate, in reverse order, after the last message. `flag` is 1.
void _RegisterInitializeTerminate(UnitProc init, UnitProc term, int flag);
void Lib_RunInitializeProcs();    // the loader, after a successful load
void Lib_RunTerminateProcs();     // the loader, after the frame closed
void Lib_ForgetRegisteredProcs(); // the loader, after unload

// ---- termination chain ------------------------------------------------------
// One head; each unit body installs its own procedure as the head and keeps
// the previous one, which its procedure re-installs when it runs.
void Lib_TermChainFinal();                 // the final entry: does nothing
void Lib_ResetTermChain();                 // head = final entry
UnitProc Lib_SwapTermChainHead(UnitProc newHead);  // returns the old head
// Takes the head, sets it to the final entry and calls the taken procedure,
// until the head is the final entry.
void Lib_RunTermChain();

// ---- run phase ----------------------------------------------------------------
// 0 loading, 1 bodies run, 2 initialised, 3 running, 4 closing,
// 5 terminating (registered Terminate procedures), 6 unloading (chain).
enum : int {
  kPhaseLoading = 0, kPhaseBodies = 1, kPhaseInitialised = 2, kPhaseRunning = 3,
  kPhaseClosing = 4, kPhaseTerminating = 5, kPhaseUnloading = 6,
};
int Lib_ktPhase();
void Lib_SetPhase(int phase);

// ---- version acceptance -----------------------------------------------------------
// Whether the host accepts module `moduleId` at `version` ("7.5.127.77").
// The host accepts versions whose first two fields equal the host's own
// (7.5 by default; Lib_SetHostVersion changes it, for tests and the frame's
// --host-version option).
bool Lib_Compatible(std::string_view moduleId, std::string_view version);
void Lib_SetHostVersion(std::string_view majorMinor);

// ---- errors ---------------------------------------------------------------------
// Reports a programming error: shown through the host's error sink (the UI
// driver's message box once the frame installed one, stderr before) and
// logged to the trace; the program goes on.
void KtSystem_Error(std::string_view text);
// "%s" (or "%u", "%d") in `format` replaced by `arg`.
void KtSystem_Error1(std::string_view format, std::string_view arg);
// Reports a fatal programming error the same way and ends the process with
// exit status 70 (EX_SOFTWARE). Tests replace the handler to catch it.
[[noreturn]] void KtSystem_Panic(std::string_view text);
[[noreturn]] void KtSystem_Panic1(std::string_view format, std::string_view arg);
using ErrorSink = void (*)(std::string_view text, bool fatal);
// Installs the sink that shows errors (nullptr: stderr). Returns the old one.
ErrorSink Lib_SetErrorSink(ErrorSink sink);
// Replaces what a panic does after showing (default: exit 70). A test hook
// may throw; it must not return.
using PanicHook = void (*)(std::string_view text);
PanicHook Lib_SetPanicHook(PanicHook hook);

// ---- language library ---------------------------------------------------------------
using ResourceProc = void (*)(uintptr_t a, uintptr_t b);
// The module's load and unload procedures for its language resources; the
// host calls the load procedure right after registering it, and the unload
// procedure when it is unregistered.
void LbUtil_RegisterResourceProcs(ResourceProc load, ResourceProc unload);
void LbUtil_UnregisterResourceProcs(ResourceProc load, ResourceProc unload);
// Loads the string table "<folder of inst>/resources/<module>.<lang>.str"
// (falling back to `defaultLang` when the host's language has none) and sets
// *resInstance to the language library's handle. False when no table exists.
bool LbUtil_LoadLanguageDLL(uintptr_t a, uintptr_t b, std::string_view module,
                            std::string_view defaultLang, HINSTANCE* resInstance,
                            HINSTANCE inst);
void LbUtil_UnLoadLanguageDLL(HINSTANCE* resInstance, HINSTANCE inst);
// String `id` of the language library (caption, "|", text); "" when absent.
std::string LbUtil_LoadString(HINSTANCE resInstance, int id);
// The language library's resource file of another kind, beside its string
// table: "<folder>/<module>.<lang>.<extension>" ("dlg": dialog templates and
// accelerator tables). "" when `resInstance` is no language library.
std::string LbUtil_ResourceFilePath(HINSTANCE resInstance, std::string_view extension);
// The language library loaded last and not unloaded (the module's): where
// the host finds the dialog templates its view definitions name and the
// frame's accelerator table. nullptr when none is loaded.
HINSTANCE LbUtil_LanguageInstance();

// ---- menus ----------------------------------------------------------------------------
// A menu of the language library's menu file (LbUtil_ResourceFilePath with
// "mnu"): its popups in order, each with its items. Texts keep the "&"
// before the key letter; a separator is an item with command 0 and no text.
struct LbMenuItem {
  std::string text;
  uint16_t command = 0;
};
struct LbMenuPopup {
  std::string text;
  std::vector<LbMenuItem> items;
};
struct LbMenu {
  int id = 0;
  std::vector<LbMenuPopup> popups;
};
// The menus of a menu file's text (the format is described at the head of
// MenuResource.cpp). False with `error` ("line N: why") when it is broken.
bool LbUtil_ParseMenus(std::string_view text, std::vector<LbMenu>& out, std::string& error);
// Menu `id` of the menu file beside the string table of `resInstance`.
// False with `error` when there is no language library, the file is
// missing or broken, or it holds no menu `id`.
bool LbUtil_LoadMenu(HINSTANCE resInstance, int id, LbMenu& out, std::string& error);

// ---- trace ---------------------------------------------------------------------------
// The host's trace: off unless the environment variable ACQ_TRACE is set or
// the frame switches it on. Lines go to stderr (or ACQ_TRACE's file when it
// names one), each prefixed "trace: ".
bool Lib_TraceOn();
void Lib_SetTrace(bool on);
void Lib_Trace(std::string_view line);
