// Win32 services of platform.h, and the DLL entry point that drives the context lifecycle.
#ifdef _WIN32

#include "frame/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "frame/lifecycle.h"

namespace kvo::platform {
namespace {

// The process's slot index; all ones until the DLL is attached.
volatile LONG g_slot = static_cast<LONG>(TLS_OUT_OF_INDEXES);

DWORD slotIndex() { return static_cast<DWORD>(g_slot); }

// Linked statically into a program, the library gets no attach notifications: the first use
// creates the slot. Two threads may race here; the loser hands its index back.
DWORD ensureSlot() {
  const DWORD current = slotIndex();
  if (current != TLS_OUT_OF_INDEXES) return current;
  const DWORD mine = TlsAlloc();
  if (mine == TLS_OUT_OF_INDEXES) return TLS_OUT_OF_INDEXES;
  const LONG previous =
      InterlockedCompareExchange(&g_slot, static_cast<LONG>(mine), static_cast<LONG>(current));
  if (static_cast<DWORD>(previous) == current) return mine;
  TlsFree(mine);
  return static_cast<DWORD>(previous);
}

}  // namespace

bool slotCreate() { return ensureSlot() != TLS_OUT_OF_INDEXES; }

void slotDestroy() {
  const DWORD index = slotIndex();
  if (index == TLS_OUT_OF_INDEXES) return;
  TlsFree(index);
  g_slot = static_cast<LONG>(TLS_OUT_OF_INDEXES);
}

bool slotValid() { return slotIndex() != TLS_OUT_OF_INDEXES; }

void* slotGet() {
  const DWORD index = slotIndex();
  return index == TLS_OUT_OF_INDEXES ? nullptr : TlsGetValue(index);
}

void slotSet(void* record) {
  const DWORD index = record != nullptr ? ensureSlot() : slotIndex();
  if (index != TLS_OUT_OF_INDEXES) TlsSetValue(index, record);
}

void* recordAlloc(std::size_t bytes) { return LocalAlloc(LPTR, bytes); }

void recordFree(void* record) {
  if (record != nullptr) LocalFree(record);
}

int messageBox(const char* text, const char* caption, unsigned style) {
  return MessageBoxA(nullptr, text, caption, style);
}

// wsprintfA writes at most 1024 characters and takes no size; it formats into a buffer of that
// size and the result is cut to the caller's buffer.
void formatText(char* out, std::size_t cap, const char* format, ...) {
  if (cap == 0) return;
  char full[1025];
  va_list args;
  va_start(args, format);
  const int written = wvsprintfA(full, format, args);
  va_end(args);
  std::size_t length = written > 0 ? static_cast<std::size_t>(written) : 0;
  if (length > sizeof full - 1) length = sizeof full - 1;
  if (length > cap - 1) length = cap - 1;
  std::memcpy(out, full, length);
  out[length] = '\0';
}

int platformId() {
  OSVERSIONINFOA info;
  std::memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info)) return VER_PLATFORM_WIN32_NT;
  return static_cast<int>(info.dwPlatformId);
}

void fatalAppExit(const char* message) {
  FatalAppExitA(0, message);
  // FatalAppExitA does not return; should it ever, the process still ends here.
  std::abort();
}

}  // namespace kvo::platform

#ifdef __MINGW32__
// MinGW-w64's own fma and fmaf round twice (see platform.h). These definitions take their place
// in everything linked with the library: the processor's fused multiply-add where it has one,
// the integer version elsewhere.
namespace {
__attribute__((target("fma"))) double hardwareFma(double x, double y, double z) {
  return __builtin_fma(x, y, z);
}
__attribute__((target("fma"))) float hardwareFmaf(float x, float y, float z) {
  return __builtin_fmaf(x, y, z);
}
bool haveFma() {
  static const bool have = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("fma") != 0;
  }();
  return have;
}
}  // namespace

extern "C" double fma(double x, double y, double z) {
  return haveFma() ? hardwareFma(x, y, z) : kvo::platform::exactFma(x, y, z);
}
extern "C" float fmaf(float x, float y, float z) {
  return haveFma() ? hardwareFmaf(x, y, z) : kvo::platform::exactFmaf(x, y, z);
}
#endif  // __MINGW32__

// The DLL entry point: process attach takes the slot and the loading thread's context, each
// thread attach creates a context, detach releases them. A false answer at process attach makes
// the load fail; the system then calls again with process detach, which gives the slot back.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      return kvo::processAttach() ? TRUE : FALSE;
    case DLL_THREAD_ATTACH:
      return kvo::threadAttach() ? TRUE : FALSE;
    case DLL_THREAD_DETACH:
      kvo::threadDetach();
      return TRUE;
    case DLL_PROCESS_DETACH:
      kvo::processDetach();
      return TRUE;
    default:
      return TRUE;
  }
}

#endif  // _WIN32
