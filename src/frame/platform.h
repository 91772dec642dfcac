// Platform services used by the library frame: the per-thread record slot, the record heap, the
// message box, formatted box texts, the platform query and ending the application.
//
// Two implementations sit behind this interface:
//  - platform_win32.cpp: one TLS slot (TlsAlloc), records from LocalAlloc(LPTR), MessageBoxA,
//    wsprintfA, GetVersionExA and FatalAppExitA; DllMain drives the thread lifecycle.
//  - platform_posix.cpp: a pthread key whose destructor releases a thread's record when the thread
//    ends, records from calloc, and a console substitute for the message box (caption and text go
//    to standard error; the answer is the box's default button). Ending the application prints the
//    message to standard error and aborts without running exit handlers, as FatalAppExitA does.
#pragma once

#include <cstddef>

namespace kvo::platform {

// Message-box styles and answers, with their Win32 values.
constexpr unsigned kBoxOk = 0x0000;
constexpr unsigned kBoxOkCancel = 0x0001;
constexpr unsigned kBoxYesNo = 0x0004;
constexpr unsigned kBoxSystemModal = 0x1000;
constexpr int kAnswerOk = 1;
constexpr int kAnswerCancel = 2;
constexpr int kAnswerYes = 6;
constexpr int kAnswerNo = 7;

// Platform id as GetVersionExA reports it; 0 is Win32s.
constexpr int kPlatformWin32s = 0;

// The thread-record slot. slotCreate runs once at load, slotDestroy at unload.
bool slotCreate();
void slotDestroy();
bool slotValid();
void* slotGet();
void slotSet(void* record);

// Zero-filled records for the per-thread context.
void* recordAlloc(std::size_t bytes);
void recordFree(void* record);

// Shows a message box and returns the button chosen (or a value below 1 if none could be shown).
int messageBox(const char* text, const char* caption, unsigned style);

// Formats into out[0..cap-1], always terminated; text beyond cap-1 characters is cut.
void formatText(char* out, std::size_t cap, const char* format, ...);

int platformId();

[[noreturn]] void fatalAppExit(const char* message);

// Fused multiply-add rounded once, computed in integer arithmetic. Some C runtimes (MinGW-w64's,
// up to at least version 10) round fma and fmaf twice, which breaks the exact error terms the
// complex products rely on; on those the Win32 layer puts these in their place.
double exactFma(double x, double y, double z);
float exactFmaf(float x, float y, float z);

}  // namespace kvo::platform
