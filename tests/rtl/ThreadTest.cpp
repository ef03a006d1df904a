#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/rtl/Process.h"
#include "platform/rtl/SyncObjs.h"

namespace {

// Pumps the main-thread queue until Done() or about five seconds have passed.
template <typename F>
bool PumpUntil(F Done) {
  for (int i = 0; i < 500 && !Done(); ++i) CheckSynchronize(10);
  return Done();
}

class TWorker : public TThread {
 public:
  explicit TWorker(bool CreateSuspended, std::function<void(TWorker*)> Body = nullptr)
      : TThread(CreateSuspended), body_(std::move(Body)) {
    AfterConstruction();
  }
  ~TWorker() override { StopAndWait(); }
  using TThread::Queue;
  using TThread::SetReturnValue;
  using TThread::Synchronize;

 protected:
  void Execute() override {
    if (body_) body_(this);
  }

 private:
  std::function<void(TWorker*)> body_;
};

}  // namespace

TEST(ThreadTest, SynchronizeAndQueueRunOnTheMainThread) {
  std::vector<TThreadID> ranOn;
  std::atomic<bool> queuedDone{false};
  TWorker worker(true, [&](TWorker* self) {
    self->Synchronize([&] { ranOn.push_back(GetCurrentThreadId()); });
    self->Queue([&] {
      ranOn.push_back(GetCurrentThreadId());
      queuedDone = true;
    });
    self->SetReturnValue(7);
  });
  EXPECT_TRUE(worker.Suspended());
  EXPECT_FALSE(worker.Started());
  worker.Start();
  EXPECT_EQ(worker.WaitFor(), 7);  // WaitFor on the main thread keeps the queue going
  EXPECT_TRUE(PumpUntil([&] { return queuedDone.load(); }));
  ASSERT_EQ(ranOn.size(), 2u);
  EXPECT_EQ(ranOn[0], MainThreadID);
  EXPECT_EQ(ranOn[1], MainThreadID);
  EXPECT_TRUE(worker.Finished());
  EXPECT_NE(worker.ThreadID(), MainThreadID);

  bool inlineRan = false;
  TThread::Synchronize(nullptr, [&] { inlineRan = true; });  // on the main thread: at once
  EXPECT_TRUE(inlineRan);
  EXPECT_FALSE(CheckSynchronize(0));
}

TEST(ThreadTest, SynchronizedErrorsReachTheCallerAndFatalExceptionIsKept) {
  std::string caught;
  TWorker worker(false, [&](TWorker* self) {
    try {
      self->Synchronize([] { throw EConvertError("bad value"); });
    } catch (const EConvertError& e) {
      caught = e.Message();
    }
    throw EListError("worker failed");
  });
  worker.WaitFor();
  EXPECT_EQ(caught, "bad value");
  ASSERT_NE(worker.FatalException(), nullptr);
  EXPECT_EQ(worker.FatalException()->Message(), "worker failed");
  EXPECT_STREQ(worker.FatalException()->ClassName(), "EListError");
  EXPECT_TRUE(worker.FatalExceptionPtr() != nullptr);
}

TEST(ThreadTest, QueuedErrorSurfacesInCheckSynchronize) {
  std::atomic<int> after{0};
  TWorker worker(false, [&](TWorker* self) {
    self->Queue([] { throw EAbort(); });
    self->Queue([&] { ++after; });
  });
  bool thrown = false;
  for (int i = 0; i < 100 && !thrown; ++i) {
    try {
      CheckSynchronize(10);
    } catch (const EAbort&) {
      thrown = true;
    }
  }
  EXPECT_TRUE(thrown);
  EXPECT_TRUE(PumpUntil([&] { return after.load() == 1; }));  // the rest stayed queued
}

TEST(ThreadTest, TerminateOnTerminateAndSelfSuspend) {
  std::atomic<int> rounds{0};
  bool onTerminateMain = false;
  TWorker worker(true, [&](TWorker* self) {
    while (!self->Terminated()) {
      ++rounds;
      self->Suspend();  // waits for the next Resume
    }
  });
  worker.OnTerminate = [&](TObject* sender) {
    onTerminateMain = GetCurrentThreadId() == MainThreadID && sender == &worker;
  };
  worker.Resume();
  ASSERT_TRUE(PumpUntil([&] { return rounds.load() == 1 && worker.Suspended(); }));
  worker.Resume();
  ASSERT_TRUE(PumpUntil([&] { return rounds.load() == 2 && worker.Suspended(); }));
  EXPECT_THROW(worker.Suspend(), EThread);  // only the thread itself can suspend
  worker.Terminate();
  worker.Resume();
  worker.WaitFor();
  EXPECT_EQ(rounds.load(), 2);
  EXPECT_TRUE(onTerminateMain);
  EXPECT_FALSE(worker.Suspended());
}

TEST(ThreadTest, FreeOnTerminateAndAnonymousThreads) {
  std::atomic<bool> ran{false};
  bool terminatedSeen = false;
  TThread* t = TThread::CreateAnonymousThread([&] { ran = true; });
  EXPECT_TRUE(t->FreeOnTerminate());
  t->OnTerminate = [&](TObject*) { terminatedSeen = true; };
  t->Start();
  // The thread frees itself after OnTerminate ran here; LeakSanitizer checks that it did.
  EXPECT_TRUE(PumpUntil([&] { return terminatedSeen; }));
  EXPECT_TRUE(ran);
  for (int i = 0; i < 20; ++i) CheckSynchronize(5);

  TThread* never = TThread::CreateAnonymousThread([] {});
  EXPECT_THROW(never->WaitFor(), EThread);
  delete never;  // never started: nothing to wait for
}

TEST(ThreadTest, DestroyingARunningThreadStopsIt) {
  std::atomic<bool> started{false};
  {
    TWorker worker(false, [&](TWorker* self) {
      started = true;
      while (!self->Terminated()) Sleep(1);
    });
    while (!started) Sleep(1);
  }
  std::string error;
  std::thread([&] {
    try {
      CheckSynchronize(0);
    } catch (const EThread& e) {
      error = e.Message();
    }
  }).join();
  EXPECT_NE(error.find("which is NOT the main thread"), std::string::npos);
}

TEST(SyncObjsTest, CriticalSectionIsReentrantAndExclusive) {
  TCriticalSection cs;
  cs.Enter();
  cs.Enter();
  EXPECT_TRUE(cs.TryEnter());
  EXPECT_EQ(cs.EntryCount(), 3);
  std::atomic<bool> otherGot{true};
  std::thread([&] {
    otherGot = cs.TryEnter();
    cs.Leave();  // not the owner: does nothing
  }).join();
  EXPECT_FALSE(otherGot);
  EXPECT_EQ(cs.EntryCount(), 3);
  cs.Leave();
  cs.Leave();
  cs.Release();
  EXPECT_EQ(cs.EntryCount(), 0);
  cs.Leave();  // unmatched: nothing happens

  int counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) {
        cs.Acquire();
        cs.Enter();
        ++counter;
        cs.Leave();
        cs.Leave();
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(counter, 8000);
}

TEST(SyncObjsTest, EventsSignalAndTimeOut) {
  TSimpleEvent event;
  EXPECT_EQ(event.WaitFor(10), wrTimeout);
  std::thread setter([&] {
    Sleep(20);
    event.SetEvent();
  });
  EXPECT_EQ(event.WaitFor(5000), wrSignaled);
  setter.join();
  EXPECT_EQ(event.WaitFor(0), wrSignaled);  // manual reset: stays signaled
  event.ResetEvent();
  EXPECT_EQ(event.WaitFor(0), wrTimeout);

  TEvent automatic(false, true);
  EXPECT_EQ(automatic.WaitFor(0), wrSignaled);
  EXPECT_EQ(automatic.WaitFor(0), wrTimeout);  // let one waiter through
}

TEST(SyncObjsTest, MultiReadExclusiveWrite) {
  TMultiReadExclusiveWriteSynchronizer sync;
  sync.BeginRead();
  sync.BeginRead();  // nested reads
  std::atomic<bool> wrote{false};
  std::thread writer([&] {
    EXPECT_TRUE(sync.BeginWrite());
    wrote = true;
    sync.EndWrite();
  });
  Sleep(20);
  EXPECT_FALSE(wrote);
  sync.BeginRead();  // a reader already in may read again while the writer waits
  sync.EndRead();
  sync.EndRead();
  sync.EndRead();
  writer.join();
  EXPECT_TRUE(wrote);
  EXPECT_TRUE(sync.BeginWrite());
  EXPECT_TRUE(sync.BeginWrite());
  sync.BeginRead();
  sync.EndRead();
  sync.EndWrite();
  sync.EndWrite();
}
