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
  std::vector<TThreadID> ran_on;
  std::atomic<bool> queued_done{false};
  TWorker worker(true, [&](TWorker* self) {
    self->Synchronize([&] { ran_on.push_back(GetCurrentThreadId()); });
    self->Queue([&] {
      ran_on.push_back(GetCurrentThreadId());
      queued_done = true;
    });
    self->SetReturnValue(7);
  });
  EXPECT_TRUE(worker.Suspended());
  EXPECT_FALSE(worker.Started());
  worker.Start();
  EXPECT_EQ(worker.WaitFor(), 7);  // WaitFor on the main thread keeps the queue going
  EXPECT_TRUE(PumpUntil([&] { return queued_done.load(); }));
  ASSERT_EQ(ran_on.size(), 2u);
  EXPECT_EQ(ran_on[0], MainThreadID);
  EXPECT_EQ(ran_on[1], MainThreadID);
  EXPECT_TRUE(worker.Finished());
  EXPECT_NE(worker.ThreadID(), MainThreadID);

  bool inline_ran = false;
  TThread::Synchronize(nullptr, [&] { inline_ran = true; });  // on the main thread: at once
  EXPECT_TRUE(inline_ran);
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
  bool on_terminate_main = false;
  TWorker worker(true, [&](TWorker* self) {
    while (!self->Terminated()) {
      ++rounds;
      self->Suspend();  // waits for the next Resume
    }
  });
  worker.OnTerminate = [&](TObject* sender) {
    on_terminate_main = GetCurrentThreadId() == MainThreadID && sender == &worker;
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
  EXPECT_TRUE(on_terminate_main);
  EXPECT_FALSE(worker.Suspended());
}

TEST(ThreadTest, FreeOnTerminateAndAnonymousThreads) {
  std::atomic<bool> ran{false};
  bool terminated_seen = false;
  TThread* t = TThread::CreateAnonymousThread([&] { ran = true; });
  EXPECT_TRUE(t->FreeOnTerminate());
  t->OnTerminate = [&](TObject*) { terminated_seen = true; };
  t->Start();
  // The thread frees itself after OnTerminate ran here; LeakSanitizer checks that it did.
  EXPECT_TRUE(PumpUntil([&] { return terminated_seen; }));
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
  std::atomic<bool> other_got{true};
  std::thread([&] {
    other_got = cs.TryEnter();
    cs.Leave();  // not the owner: does nothing
  }).join();
  EXPECT_FALSE(other_got);
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
