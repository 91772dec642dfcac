// Creation and release of the per-thread context.
#include "frame/context.h"
#include "frame/lifecycle.h"
#include "frame/platform.h"

namespace kvo {
namespace {

ThreadContext* createContext() {
  auto* ctx = static_cast<ThreadContext*>(platform::recordAlloc(sizeof(ThreadContext)));
  initContext(ctx);
  return ctx;
}

void releaseContext() {
  void* record = platform::slotGet();
  if (record == nullptr) return;
  platform::slotSet(nullptr);
  platform::recordFree(record);
}

}  // namespace

void initContext(ThreadContext* ctx) {
  if (ctx == nullptr) return;
  ctx->status = KVO_StatusOk;
  ctx->errMode = KVO_ErrorModeLeaf;
  for (auto& count : ctx->dftCount) count = 0;
  ctx->reportFn = kvoGuiBoxReport;
  ctx->dftCapacity = kDftCacheCapacity;
}

ThreadContext& newContext() {
  ThreadContext* ctx = createContext();
  if (ctx == nullptr)
    platform::fatalAppExit("KVOlib. Problem to allocate memory for TLS KVO context.");
  platform::slotSet(ctx);
  return *ctx;
}

bool processAttach() {
  if (!platform::slotCreate()) return false;
  return threadAttach();
}

void processDetach() {
  if (!platform::slotValid()) return;
  releaseContext();
  platform::slotDestroy();
}

bool threadAttach() {
  ThreadContext* ctx = createContext();
  if (ctx == nullptr) return false;
  platform::slotSet(ctx);
  return true;
}

void threadDetach() {
  if (platform::slotValid()) releaseContext();
}

}  // namespace kvo
