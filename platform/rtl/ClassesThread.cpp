// Threads and the main-thread queue of synchronized methods.
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "platform/rtl/Classes.h"

TThreadID GetCurrentThreadId() {
  return static_cast<TThreadID>(::syscall(SYS_gettid));
}

const TThreadID MainThreadID = GetCurrentThreadId();

std::function<void()> WakeMainThread;

namespace {

struct SyncRequest {
  TThreadMethod Method;
  bool Synchronous = false;
  bool Done = false;
  std::exception_ptr Error;
};

// Methods waiting for the main thread. It lives as long as the process: threads may still post to it
// while static objects are destroyed at exit.
struct SyncQueue {
  std::mutex Lock;
  std::condition_variable WorkArrived;
  std::condition_variable WorkDone;
  std::deque<std::shared_ptr<SyncRequest>> Queue;
  uint64_t Wakes = 0;  // bumped when a thread finishes, so that a waiting main thread looks again
};

SyncQueue& Sync() {
  static SyncQueue* queue = new SyncQueue;
  return *queue;
}

thread_local TThread* current_thread = nullptr;

bool OnMainThread() {
  return GetCurrentThreadId() == MainThreadID;
}

void Post(const std::shared_ptr<SyncRequest>& request) {
  SyncQueue& sync = Sync();
  {
    std::lock_guard<std::mutex> guard(sync.Lock);
    sync.Queue.push_back(request);
  }
  sync.WorkArrived.notify_all();
  if (WakeMainThread) WakeMainThread();
}

void WakeMain() {
  SyncQueue& sync = Sync();
  {
    std::lock_guard<std::mutex> guard(sync.Lock);
    ++sync.Wakes;
  }
  sync.WorkArrived.notify_all();
  if (WakeMainThread) WakeMainThread();
}

class TAnonymousThread : public TThread {
 public:
  explicit TAnonymousThread(std::function<void()> Proc) : TThread(true), proc_(std::move(Proc)) {}
  ~TAnonymousThread() override { StopAndWait(); }

 protected:
  void Execute() override { proc_(); }

 private:
  std::function<void()> proc_;
};

}  // namespace

bool CheckSynchronize(int TimeoutMs) {
  if (!OnMainThread()) {
    char text[96];
    std::snprintf(text, sizeof text,
                  "CheckSynchronize called from thread $%llx, which is NOT the main thread",
                  static_cast<unsigned long long>(GetCurrentThreadId()));
    throw EThread(text);
  }
  SyncQueue& sync = Sync();
  std::unique_lock<std::mutex> lock(sync.Lock);
  if (sync.Queue.empty() && TimeoutMs > 0) {
    const uint64_t wakes = sync.Wakes;
    sync.WorkArrived.wait_for(lock, std::chrono::milliseconds(TimeoutMs),
                              [&] { return !sync.Queue.empty() || sync.Wakes != wakes; });
  }
  if (sync.Queue.empty()) return false;
  std::deque<std::shared_ptr<SyncRequest>> batch;
  batch.swap(sync.Queue);
  lock.unlock();
  while (!batch.empty()) {
    std::shared_ptr<SyncRequest> request = batch.front();
    batch.pop_front();
    try {
      request->Method();
    } catch (...) {
      if (!request->Synchronous) {
        // A queued method has nobody waiting for it: its error surfaces here; the rest stays queued.
        lock.lock();
        for (auto it = batch.rbegin(); it != batch.rend(); ++it) sync.Queue.push_front(*it);
        lock.unlock();
        throw;
      }
      request->Error = std::current_exception();
    }
    if (request->Synchronous) {
      lock.lock();
      request->Done = true;
      lock.unlock();
      sync.WorkDone.notify_all();
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------------
TThread::TThread(bool CreateSuspended) : createSuspended_(CreateSuspended) {
  suspended_ = CreateSuspended;
}

TThread::~TThread() {
  if (thread_.joinable() && thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();  // a thread that frees itself at its end
    return;
  }
  StopAndWait();
}

void TThread::StopAndWait() {
  if (thread_.joinable() && thread_.get_id() == std::this_thread::get_id()) return;
  if (started_ && !finished_) {
    Terminate();
    if (suspended_) Resume();
    WaitUntilFinished();
  }
  if (thread_.joinable()) thread_.join();
}

void TThread::WaitUntilFinished() {
  if (OnMainThread()) {
    // Keep running the methods the thread synchronizes, or it could never finish.
    while (!finished_) CheckSynchronize(10);
  } else {
    std::unique_lock<std::mutex> lock(stateLock_);
    stateChanged_.wait(lock, [&] { return finished_.load(); });
  }
}

void TThread::AfterConstruction() {
  if (!createSuspended_ && !started_) Resume();
}

void TThread::Launch() {
  started_ = true;
  suspended_ = false;
  thread_ = std::thread([this] { Run(); });
}

void TThread::Resume() {
  std::lock_guard<std::mutex> guard(stateLock_);
  if (finished_) return;
  if (!started_) {
    Launch();
  } else if (suspended_) {
    suspended_ = false;
    stateChanged_.notify_all();
  }
}

void TThread::Suspend() {
  if (!started_ || GetCurrentThreadId() != threadId_) throw EThread("Cannot suspend another thread");
  std::unique_lock<std::mutex> lock(stateLock_);
  suspended_ = true;
  stateChanged_.wait(lock, [&] { return !suspended_.load(); });
}

int TThread::WaitFor() {
  if (!started_) throw EThread("Cannot wait for a thread that has not been started");
  if (GetCurrentThreadId() == threadId_) throw EThread("A thread cannot wait for itself");
  if (freeOnTerminate_) throw EThread("Cannot wait for a thread that frees itself");
  WaitUntilFinished();
  if (thread_.joinable()) thread_.join();
  return returnValue_;
}

void TThread::Run() {
  current_thread = this;
  threadId_ = GetCurrentThreadId();
  try {
    if (!terminated_) Execute();
  } catch (const Exception& e) {
    fatal_ = std::current_exception();
    fatalObject_ = &e;  // the exception object lives as long as fatal_ holds it
  } catch (...) {
    fatal_ = std::current_exception();
  }
  try {
    DoTerminate();
  } catch (...) {
    if (!fatal_) fatal_ = std::current_exception();
  }
  const bool freeIt = freeOnTerminate_;
  {
    std::lock_guard<std::mutex> guard(stateLock_);
    finished_ = true;
    suspended_ = false;
    stateChanged_.notify_all();
  }
  WakeMain();
  current_thread = nullptr;
  if (freeIt) delete this;
}

void TThread::DoTerminate() {
  if (OnTerminate) Synchronize([this] { OnTerminate(this); });
}

namespace {
// Runs Method on the main thread: at once when called there, else through the queue, waiting for it
// when Wait is set (and raising its error here).
void RunOnMainThread(const TThreadMethod& Method, bool Wait) {
  if (!Method) return;
  if (OnMainThread()) {
    Method();
    return;
  }
  auto request = std::make_shared<SyncRequest>();
  request->Method = Method;
  request->Synchronous = Wait;
  Post(request);
  if (!Wait) return;
  SyncQueue& sync = Sync();
  std::exception_ptr error;
  {
    std::unique_lock<std::mutex> lock(sync.Lock);
    sync.WorkDone.wait(lock, [&] { return request->Done; });
    // The error is this thread's from here on: the request, which the main thread may be the last to
    // drop, no longer holds it. Else the exception object could be freed there while its last reader
    // was this thread, ordered only by the run-time library's own reference count, which a race
    // detector does not see.
    error = std::move(request->Error);
  }
  if (error) std::rethrow_exception(error);
}
}  // namespace

void TThread::Synchronize(TThread* /*AThread*/, const TThreadMethod& Method) {
  RunOnMainThread(Method, true);
}

void TThread::Queue(TThread* /*AThread*/, const TThreadMethod& Method) {
  RunOnMainThread(Method, false);
}

TThread* TThread::CreateAnonymousThread(std::function<void()> Proc) {
  auto* thread = new TAnonymousThread(std::move(Proc));
  thread->SetFreeOnTerminate(true);
  return thread;
}

TThread* TThread::CurrentThread() {
  return current_thread;
}
