// Synchronisation objects.
#include "platform/rtl/SyncObjs.h"

#include <chrono>
#include <unordered_map>

namespace {
// The reads each thread holds on each synchronizer, so that a nested read never waits for a writer.
thread_local std::unordered_map<const void*, int> held_reads;
}  // namespace

void TCriticalSection::Enter() {
  const TThreadID me = GetCurrentThreadId();
  std::unique_lock<std::mutex> lock(lock_);
  if (owner_ == me) {
    ++count_;
    return;
  }
  free_.wait(lock, [&] { return count_ == 0; });
  owner_ = me;
  count_ = 1;
}

bool TCriticalSection::TryEnter() {
  const TThreadID me = GetCurrentThreadId();
  std::lock_guard<std::mutex> guard(lock_);
  if (owner_ == me) {
    ++count_;
    return true;
  }
  if (count_ != 0) return false;
  owner_ = me;
  count_ = 1;
  return true;
}

void TCriticalSection::Leave() {
  std::lock_guard<std::mutex> guard(lock_);
  if (count_ == 0 || owner_ != GetCurrentThreadId()) return;
  if (--count_ == 0) {
    owner_ = 0;
    free_.notify_one();
  }
}

int TCriticalSection::EntryCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return owner_ == GetCurrentThreadId() ? count_ : 0;
}

// ---------------------------------------------------------------------------------------------------
void TEvent::SetEvent() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    signaled_ = true;
  }
  if (manualReset_) {
    changed_.notify_all();
  } else {
    changed_.notify_one();
  }
}

void TEvent::ResetEvent() {
  std::lock_guard<std::mutex> guard(lock_);
  signaled_ = false;
}

TWaitResult TEvent::WaitFor(uint32_t Timeout) {
  std::unique_lock<std::mutex> lock(lock_);
  if (Timeout == INFINITE) {
    changed_.wait(lock, [&] { return signaled_; });
  } else if (!changed_.wait_for(lock, std::chrono::milliseconds(Timeout), [&] { return signaled_; })) {
    return wrTimeout;
  }
  if (!manualReset_) signaled_ = false;
  return wrSignaled;
}

// ---------------------------------------------------------------------------------------------------
void TMultiReadExclusiveWriteSynchronizer::BeginRead() {
  const TThreadID me = GetCurrentThreadId();
  std::unique_lock<std::mutex> lock(lock_);
  if (writer_ == me) {
    ++writerReads_;
    return;
  }
  int& held = held_reads[this];
  if (held == 0) changed_.wait(lock, [&] { return writer_ == 0 && waitingWriters_ == 0; });
  ++held;
  ++readers_;
}

void TMultiReadExclusiveWriteSynchronizer::EndRead() {
  const TThreadID me = GetCurrentThreadId();
  std::lock_guard<std::mutex> guard(lock_);
  if (writer_ == me && writerReads_ > 0) {
    --writerReads_;
    return;
  }
  auto it = held_reads.find(this);
  if (it == held_reads.end() || it->second == 0) return;
  if (--it->second == 0) held_reads.erase(it);
  if (readers_ > 0 && --readers_ == 0) changed_.notify_all();
}

bool TMultiReadExclusiveWriteSynchronizer::BeginWrite() {
  const TThreadID me = GetCurrentThreadId();
  std::unique_lock<std::mutex> lock(lock_);
  if (writer_ == me) {
    ++writeDepth_;
    return true;
  }
  const uint64_t seen = writeCount_;
  ++waitingWriters_;
  changed_.wait(lock, [&] { return writer_ == 0 && readers_ == 0; });
  --waitingWriters_;
  writer_ = me;
  writeDepth_ = 1;
  ++writeCount_;
  return writeCount_ == seen + 1;
}

void TMultiReadExclusiveWriteSynchronizer::EndWrite() {
  std::lock_guard<std::mutex> guard(lock_);
  if (writer_ != GetCurrentThreadId()) return;
  if (--writeDepth_ == 0) {
    writer_ = 0;
    writerReads_ = 0;
    changed_.notify_all();
  }
}
