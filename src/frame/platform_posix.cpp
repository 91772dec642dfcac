// POSIX substitutes for the Win32 services of platform.h (see there for the choices made).
#ifndef _WIN32

#include "frame/platform.h"

#include <pthread.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "frame/lifecycle.h"

namespace kvo::platform {
namespace {

pthread_key_t g_key;
bool g_keyValid = false;
// The key gives the thread-exit hook; this copy gives a fast read on every call.
thread_local void* t_record = nullptr;

void releaseAtThreadExit(void* record) {
  if (t_record == record) t_record = nullptr;
  recordFree(record);
}

}  // namespace

bool slotCreate() {
  if (g_keyValid) return true;
  g_keyValid = pthread_key_create(&g_key, releaseAtThreadExit) == 0;
  return g_keyValid;
}

void slotDestroy() {
  if (!g_keyValid) return;
  pthread_key_delete(g_key);
  g_keyValid = false;
}

bool slotValid() { return g_keyValid; }

void* slotGet() { return t_record; }

void slotSet(void* record) {
  t_record = record;
  if (g_keyValid) pthread_setspecific(g_key, record);
}

void* recordAlloc(std::size_t bytes) { return std::calloc(1, bytes); }

void recordFree(void* record) { std::free(record); }

int messageBox(const char* text, const char* caption, unsigned style) {
  std::fprintf(stderr, "[%s]\n%s\n", caption ? caption : "", text ? text : "");
  std::fflush(stderr);
  switch (style & 0xF) {
    case kBoxOkCancel:
    case kBoxOk:
      return kAnswerOk;
    case kBoxYesNo:
      return kAnswerYes;
    default:
      return kAnswerOk;
  }
}

void formatText(char* out, std::size_t cap, const char* format, ...) {
  if (cap == 0) return;
  va_list args;
  va_start(args, format);
  std::vsnprintf(out, cap, format, args);
  va_end(args);
}

// Not Win32s: every other platform ends the application the FatalAppExitA way.
int platformId() { return 2; }

void fatalAppExit(const char* message) {
  std::fprintf(stderr, "%s\n", message);
  std::fflush(stderr);
  std::abort();
}

// Load and unload of the shared object stand in for process attach and detach; threads get their
// records lazily and lose them through the key's destructor.
namespace {
__attribute__((constructor)) void onLoad() { kvo::processAttach(); }
__attribute__((destructor)) void onUnload() { kvo::processDetach(); }
}  // namespace

}  // namespace kvo::platform

#endif  // _WIN32
