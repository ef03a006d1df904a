// Synchronisation objects: critical sections, events and the multi-read exclusive-write lock.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/rtl/Classes.h"

constexpr uint32_t INFINITE = 0xFFFFFFFF;

enum TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };

class TSynchroObject : public TObject {
  TALVIK_CLASS(TSynchroObject, TObject)
  virtual void Acquire() {}
  virtual void Release() {}
};

// A re-entrant lock: the owning thread may enter again; it is free once every Enter has its Leave.
// Leave by a thread that does not hold it does nothing.
class TCriticalSection : public TSynchroObject {
  TALVIK_CLASS(TCriticalSection, TSynchroObject)
  void Acquire() override { Enter(); }
  void Release() override { Leave(); }
  void Enter();
  void Leave();
  bool TryEnter();
  // How often the calling thread has entered (0 when it does not hold the section).
  int EntryCount() const;

 private:
  mutable std::mutex lock_;
  std::condition_variable free_;
  TThreadID owner_ = 0;
  int count_ = 0;
};

class TEvent : public TSynchroObject {
  TALVIK_CLASS(TEvent, TSynchroObject)
  // A manual-reset event stays signaled until ResetEvent; an automatic one lets one waiter through.
  explicit TEvent(bool ManualReset = true, bool InitialState = false)
      : manualReset_(ManualReset), signaled_(InitialState) {}
  void SetEvent();
  void ResetEvent();
  TWaitResult WaitFor(uint32_t Timeout = INFINITE);
  void Acquire() override { WaitFor(INFINITE); }
  void Release() override { SetEvent(); }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  bool manualReset_;
  bool signaled_;
};

class TSimpleEvent : public TEvent {
  TALVIK_CLASS(TSimpleEvent, TEvent)
  TSimpleEvent() : TEvent(true, false) {}
};

// Many readers or one writer. The writer may read and write again while it writes; a reader must not
// ask to write before it ends its read.
class TMultiReadExclusiveWriteSynchronizer : public TObject {
  TALVIK_CLASS(TMultiReadExclusiveWriteSynchronizer, TObject)
  void BeginRead();
  void EndRead();
  // True when no other writer wrote since this thread asked to write.
  bool BeginWrite();
  void EndWrite();

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  int readers_ = 0;
  int waitingWriters_ = 0;
  TThreadID writer_ = 0;
  int writeDepth_ = 0;
  int writerReads_ = 0;
  uint64_t writeCount_ = 0;
};
