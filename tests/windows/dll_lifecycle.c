/* The DLL's entry point, seen from a program that loads kvom6.dll at run time:
 *  - the loading thread, threads started later and a thread that was running before the load
 *    each have their own status, mode and reporter, with the initial values;
 *  - ending threads give their records back (the process heap does not grow with them);
 *  - unloading releases the slot, and a second load starts afresh.
 * Usage: kvo_dll_lifecycle kvom6.dll */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <stdio.h>

#include "kvo.h"

typedef int(KVO_CALL* GetIntFn)(void);
typedef void(KVO_CALL* SetIntFn)(int);
typedef ReportFunction(KVO_CALL* RedirectFn)(ReportFunction);
typedef int(KVO_CALL* ErrorFn)(int, const char*, const char*, const char*, int);

static struct {
  HMODULE dll;
  GetIntFn getStatus, getMode;
  SetIntFn setStatus, setMode;
  RedirectFn redirect;
  ErrorFn error;
  ReportFunction guiBox, nulDev;
} lib;

static volatile LONG failures;

#define CHECK(cond)                                                            \
  do {                                                                         \
    if (!(cond)) {                                                             \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      InterlockedIncrement(&failures);                                         \
    }                                                                          \
  } while (0)

static FARPROC symbol(const char* name) {
  FARPROC p = GetProcAddress(lib.dll, name);
  if (p == NULL) {
    fprintf(stderr, "%s not exported\n", name);
    ExitProcess(2);
  }
  return p;
}

static void load(const char* path) {
  lib.dll = LoadLibraryA(path);
  if (lib.dll == NULL) {
    fprintf(stderr, "cannot load %s (error %lu)\n", path, (unsigned long)GetLastError());
    ExitProcess(2);
  }
  /* Function pointers travel through FARPROC as the Win32 API hands them out. */
  lib.getStatus = (GetIntFn)(void (*)(void))symbol("kvoGetErrStatus");
  lib.getMode = (GetIntFn)(void (*)(void))symbol("kvoGetErrMode");
  lib.setStatus = (SetIntFn)(void (*)(void))symbol("kvoSetErrStatus");
  lib.setMode = (SetIntFn)(void (*)(void))symbol("kvoSetErrMode");
  lib.redirect = (RedirectFn)(void (*)(void))symbol("kvoRedirectError");
  lib.error = (ErrorFn)(void (*)(void))symbol("kvoError");
  lib.guiBox = (ReportFunction)(void (*)(void))symbol("kvoGuiBoxReport");
  lib.nulDev = (ReportFunction)(void (*)(void))symbol("kvoNulDevReport");
  CHECK(GetProcAddress(lib.dll, "DllMain") == NULL);
}

/* A thread's first look at the library: the initial values, then values of its own. */
static void useFreshContext(int status) {
  CHECK(lib.getStatus() == KVO_StatusOk);
  CHECK(lib.getMode() == KVO_ErrorModeLeaf);
  CHECK(lib.redirect(lib.nulDev) == lib.guiBox);
  lib.setMode(KVO_ErrorModeSilent);
  lib.error(status, "f", "m", "mod", 1);
  CHECK(lib.getStatus() == status);
}

static DWORD WINAPI worker(LPVOID arg) {
  useFreshContext(-2 - (int)((INT_PTR)arg % 5)); /* -2 .. -6: stored statuses */
  return 0;
}

/* Started before the load: gets no attach notification, so its context is made on first use. */
static HANDLE loadDone;
static DWORD WINAPI earlyThread(LPVOID arg) {
  (void)arg;
  WaitForSingleObject(loadDone, INFINITE);
  useFreshContext(KVO_StatusOutOfMemory);
  return 0;
}

static void runThreads(int count) {
  int i;
  for (i = 0; i < count; ++i) {
    HANDLE t = CreateThread(NULL, 0, worker, (LPVOID)(INT_PTR)i, 0, NULL);
    CHECK(t != NULL);
    if (t == NULL) return;
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
  }
}

/* Busy blocks of the process heap, where the records come from. */
static long busyHeapBlocks(void) {
  HANDLE heap = GetProcessHeap();
  PROCESS_HEAP_ENTRY entry;
  long busy = 0;
  entry.lpData = NULL;
  HeapLock(heap);
  while (HeapWalk(heap, &entry)) {
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) ++busy;
  }
  HeapUnlock(heap);
  return busy;
}

int main(int argc, char** argv) {
  HANDLE early;
  long before, after;
  if (argc < 2) {
    fprintf(stderr, "usage: %s kvom6.dll\n", argv[0]);
    return 2;
  }

  loadDone = CreateEventA(NULL, TRUE, FALSE, NULL);
  early = CreateThread(NULL, 0, earlyThread, NULL, 0, NULL);
  load(argv[1]);
  SetEvent(loadDone);

  /* The loading thread's context was made at load. */
  CHECK(lib.getStatus() == KVO_StatusOk && lib.getMode() == KVO_ErrorModeLeaf);
  lib.setMode(KVO_ErrorModeParent);
  lib.setStatus(KVO_StatusBadArgument);

  WaitForSingleObject(early, INFINITE);
  CloseHandle(early);
  runThreads(8);

  /* Records of ended threads go back to the heap. */
  runThreads(16);
  before = busyHeapBlocks();
  runThreads(400);
  after = busyHeapBlocks();
  if (after - before > 40) {
    fprintf(stderr, "heap grew by %ld blocks over 400 threads\n", after - before);
    InterlockedIncrement(&failures);
  }

  CHECK(lib.getStatus() == KVO_StatusBadArgument && lib.getMode() == KVO_ErrorModeParent);

  /* Unload and load again: a new slot and a new context for this thread. */
  CHECK(FreeLibrary(lib.dll));
  load(argv[1]);
  CHECK(lib.getStatus() == KVO_StatusOk && lib.getMode() == KVO_ErrorModeLeaf);
  runThreads(4);
  CHECK(FreeLibrary(lib.dll));

  if (failures != 0) {
    fprintf(stderr, "%ld failed checks\n", (long)failures);
    return 1;
  }
  printf("dll lifecycle: all checks passed\n");
  return 0;
}
