// The program driven by seeded random input on a desktop with a window manager (openbox), the
// instance's workload changing underneath: clicks, double clicks, drags, wheel turns, keys, typing,
// resizes, moves and closes, each on one of the program's own windows. The program must neither
// crash nor report a sanitizer error; when it ends (its own "Выход", its main window closed) it ends
// with code 0 and is started again.
//
// A step counts only when the program took it: it read the keys or clicks (it notes their time on
// the window that took them), or it acted on the move, resize or close the window manager passed on
// (the window went where it was asked to and the program read the news, or the window closed); a
// move or resize the window manager refused gave nothing. At least half the steps must count, so
// that input lost on its way (to another program's window, or to a program that reads none) fails
// the walk, not only a walk that finds no window of the program's.
//
// The walk is reproducible from its seed (the same seed gives the same choices) and its step log
// (random-input/seed-<seed>.log under the build tree, one line a step). Knobs from the environment:
//   TALVIK_RANDOM_SEED      the seed (default 1)
//   TALVIK_RANDOM_STEPS     the number of steps (default 120: the short run of the test suite)
//   TALVIK_RANDOM_SECONDS   run for that long instead, whatever the number of steps
// scripts/program-random-input runs long walks on several seeds.
#include <unistd.h>

#include <optional>
#include <random>

#include "E2EHarness.h"
#include "platform/rtl/ScopeExit.h"

namespace {

using e2e::Output;
using e2e::WaitFor;
using e2e::WindowNamed;

// A command of the walk, given at most a few seconds: an X call that waits on a window which never
// comes must not hold the walk up.
bool Sh(const std::string& Command) {
  return e2e::Shell("timeout 5 " + Command);
}

int EnvInt(const char* Name, int Default) {
  const char* v = std::getenv(Name);
  return v && *v ? std::atoi(v) : Default;
}

// Windows narrower or lower than this get no input.
constexpr int kLeast = 4;
// After so many steps in a row without a window to give input to, the program's windows are restored.
constexpr int kIdleSteps = 5;
// Rounds of answering and closing before a program that does not end fails the walk.
constexpr int kEndRounds = 8;
// The walk looks this often whether the program repainted a window of its when asked; it fails when
// the program has not for kSilent.
constexpr auto kLookEvery = std::chrono::seconds(2);
constexpr auto kSilent = std::chrono::seconds(30);
// The steps of the walks that look whether the program takes input at all.
constexpr int kShortWalk = 6;
// How long the program is given to take a step's input.
constexpr int kTakeWithinMs = 1000;
// How long the window manager is given to answer a resize or move of a window, and how long the
// window is given to get where it was asked to once an answer came that left it elsewhere: the
// manager refused the request (a fixed-size dialog) or changed it (a window's least size), and the
// request counts as given nothing.
constexpr int kAnswerWithinMs = 2000;
constexpr auto kSettle = std::chrono::milliseconds(300);

// The current folder and HOME as they are when made, put back when it goes.
struct CwdAndHome {
  std::filesystem::path cwd = std::filesystem::current_path();
  std::optional<std::string> home =
      std::getenv("HOME") ? std::optional<std::string>(std::getenv("HOME")) : std::nullopt;
  CwdAndHome() = default;
  CwdAndHome(const CwdAndHome&) = delete;
  CwdAndHome& operator=(const CwdAndHome&) = delete;
  ~CwdAndHome() {
    std::error_code ec;
    std::filesystem::current_path(cwd, ec);
    if (home)
      setenv("HOME", home->c_str(), 1);
    else
      unsetenv("HOME");
  }
};

// The geometry of a window on the screen.
struct Place {
  int x = 0, y = 0, w = 0, h = 0;
};

class RandomInput : public e2e::DesktopProgramTest {
 protected:
  void SetUp() override {
    e2e::DesktopProgramTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // a notification area, for the program's icon when its settings ask for one
    ASSERT_TRUE(StartTrayHost()) << "no notification area (trayer)";
    seed_ = static_cast<unsigned>(EnvInt("TALVIK_RANDOM_SEED", 1));
    random_.seed(seed_);
    const std::string dir = x11test::ScreenshotDir() + "/../random-input";
    std::filesystem::create_directories(dir);
    logPath_ = dir + "/" + logName_ + std::to_string(seed_) + ".log";
    log_.open(logPath_, std::ios::trunc);
    // whatever the program writes through its file dialogs stays in the test's own folder (put back
    // before the folder goes)
    restoreCwd_.emplace();
    std::filesystem::current_path(dir_);
    setenv("HOME", dir_.c_str(), 1);
  }
  void TearDown() override {
    if (workload_ > 0) {
      Sh(Sim() + " stop");
      childwait::End(workload_, "the workload, told to stop,", 0);
    }
    restoreCwd_.reset();
    if (HasFailure()) {
      std::fprintf(stderr, "random-input: seed %u, step log %s; its last steps:\n", seed_, logPath_.c_str());
      const std::size_t from = steps_.size() > 25 ? steps_.size() - 25 : 0;
      for (std::size_t i = from; i < steps_.size(); ++i) std::fprintf(stderr, "  %s\n", steps_[i].c_str());
    }
    e2e::DesktopProgramTest::TearDown();
  }

  std::string Sim() const {
    const char* bin = std::getenv("TALVIK_BINARY_DIR");
    return std::string(bin ? bin : ".") + "/oracle_sim/talvik-sim " + (dir_ / "sim.db").string();
  }
  int Pick(int Below) { return std::uniform_int_distribution<int>(0, Below - 1)(random_); }
  template <class T>
  const T& PickOf(const std::vector<T>& From) {
    return From[static_cast<std::size_t>(Pick(static_cast<int>(From.size())))];
  }
  void Log(const std::string& What) {
    steps_.push_back(std::to_string(step_) + ": " + What);
    log_ << steps_.back() << '\n';
    log_.flush();
  }
  // Runs an xdotool (or other) command as a step, logged; whether it went through. What the program
  // takes from then on counts for the step.
  bool Do(const std::string& What, const std::string& Command) {
    Log(What + "  [" + Command + "]");
    uptake_.Mark();
    return Sh(Command);
  }

  // The program's visible windows (top-level ones, its menus and drop-downs among them).
  std::vector<std::string> Windows() const {
    std::vector<std::string> ids;
    std::istringstream in(
        Output("xdotool search --onlyvisible --pid " + std::to_string(pid_) + " 2>/dev/null"));
    for (std::string id; std::getline(in, id);)
      if (!id.empty()) ids.push_back(id);
    return ids;
  }
  static Place PlaceOf(const std::string& Window) {
    std::istringstream g(Output("xdotool getwindowgeometry --shell " + Window +
                                " 2>/dev/null | grep -E '^(X|Y|WIDTH|HEIGHT)=' | cut -d= -f2"));
    Place p;
    g >> p.x >> p.y >> p.w >> p.h;
    return p;
  }
  static std::string NameOf(const std::string& Window) {
    return Output("xdotool getwindowname " + Window + " 2>/dev/null");
  }
  // Whether the window manager frames it (menus and drop-downs bypass it).
  static bool Managed(const std::string& Window) {
    return Output("xwininfo -id " + Window + " 2>/dev/null | grep 'Override Redirect State: yes'").empty();
  }

  // The program ended or died: a failure unless it ended well; false when it still runs.
  bool Ended() {
    if (pid_ <= 0) return false;
    const std::optional<int> ended = childwait::WaitFor(pid_, std::chrono::milliseconds(0));
    if (!ended) return false;
    pid_ = 0;
    const int code = *ended;
    Log("the program ended with code " + std::to_string(code));
    EXPECT_EQ(code, 0) << Said();
    ExpectCleanOutput();
    return true;
  }
  void ExpectCleanOutput() {
    const std::string said = Said();
    for (const char* bad : {"ERROR: AddressSanitizer", "runtime error:", "ERROR: LeakSanitizer"})
      EXPECT_EQ(said.find(bad), std::string::npos) << said;
  }
  // Starts the program and logs on (the logon dialog gets the password).
  void StartProgram() {
    // a click that landed on the desktop after the program ended may have opened the window
    // manager's root menu, which holds the keyboard: the logon dialog would never get the password
    Sh("xdotool key --delay 30 Escape Escape Escape");
    Log("start the program");
    Start();
    const std::string logon = Await("Oracle Logon");
    ASSERT_FALSE(logon.empty()) << "no logon dialog" << Said();
    Type(logon, "manager");
    Keys(logon, "Return");
    ASSERT_FALSE(Await("Talvik for Oracle").empty()) << "no main window" << Said();
    ++starts_;
    silentSince_.reset();
  }
  // The program is asked for a repaint of one of its windows now and then, and a repaint, however
  // late, counts: a program whose thread of windows hangs fails the walk when it hangs, not when the
  // walk ends. A mark covered, or whose window went, is asked again elsewhere, the silence going on;
  // while none of the program's windows can take a mark, nothing is judged.
  void ExpectAnswers() {
    const auto now = std::chrono::steady_clock::now();
    if (pid_ <= 0 || now - lastLook_ < kLookEvery) return;
    lastLook_ = now;
    using Spot = e2e::Repaints::Spot;
    const Spot spot = repaints_.Look();
    if (spot == Spot::kRepainted) silentSince_.reset();
    if (silentSince_ && now - *silentSince_ > kSilent) {
      const auto silent = std::chrono::duration_cast<std::chrono::seconds>(now - *silentSince_).count();
      Log("the program has not repainted its windows for " + std::to_string(silent) + " s");
      ADD_FAILURE() << "the program has not repainted its windows for " << silent << " s\n" << Said();
    }
    if (spot == Spot::kMarked) return;
    // (the application's own hidden window takes no mark)
    for (const std::string& w : Windows())
      if (repaints_.Ask(std::stoul(w))) {
        if (!silentSince_) silentSince_ = now;
        return;
      }
    silentSince_.reset();
  }
  long ResidentKb() const {
    std::ifstream f("/proc/" + std::to_string(pid_) + "/status");
    for (std::string line; std::getline(f, line);)
      if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
  }

  // The workload changes: sessions come and go, logins are restricted and let in again, a user's or
  // the program's own session is killed or its line cut.
  void ChangeWorkload() {
    switch (Pick(6)) {
      case 0:
        Do("workload: reshape", Sim() + " shape --sessions " + std::to_string(2 + Pick(12)) + " --busy " +
                                    std::to_string(Pick(101)));
        break;
      case 1:
        Do("workload: restricted logins on", Sim() + " restrict on");
        break;
      case 2:
        Do("workload: restricted logins off", Sim() + " restrict off");
        break;
      case 3:
      case 4: {
        const bool own = Pick(2) == 0;
        const std::string pair =
            e2e::SystemQuery(own ? "select sid || ' ' || serial# from v$session where client_info = 'Talvik'"
                                 : "select sid || ' ' || serial# from v$session where type = 'USER' and "
                                   "client_info is null and username <> 'SYSTEM'")
                .First();
        if (!pair.empty())
          Do(std::string("workload: ") + (Pick(2) ? "kill " : "cut ") +
                 (own ? "the program's session" : "a session"),
             Sim() + (Pick(2) ? " kill " : " cut ") + pair);
        break;
      }
      default:
        Do("workload: sessions log on and off", Sim() + " shape --logoffs on");
        break;
    }
  }

  // The program's windows the window manager shaded or minimised (a wheel turn or a click on a title
  // bar does that) are given back, as a user would from the desktop.
  void Restore() {
    std::istringstream in(Output("xdotool search --pid " + std::to_string(pid_) + " 2>/dev/null"));
    for (std::string id; std::getline(in, id);) {
      const std::string name = id.empty() ? "" : NameOf(id);
      if (name.empty() || !Managed(id)) continue;
      Sh("wmctrl -i -r " + id + " -b remove,shaded,hidden");
      if (name.rfind("Talvik for Oracle", 0) == 0) Do("restore the main window", "wmctrl -i -a " + id);
    }
  }

  // What a step gave the program, and the window it chose.
  enum class Gave {
    kNothing,  // no window could take it, or the input did not go through
    kInput,    // keys, clicks, wheel turns or a drag on its windows
    // requests the window manager passes on
    kResize,
    kMove,
    kClose,
  };
  struct Given {
    Gave what = Gave::kNothing;
    std::string window;
    std::string kind;  // what the step was ("click", "resize", ...), for the walk's tally
    // where a move asks the window to go (its frame's corner), the size a resize asks for
    int x = 0, y = 0, w = 0, h = 0;
  };
  // One step of input on one of the program's windows.
  Given Step() {
    // (the application's own hidden window, among them, takes none)
    std::vector<std::string> windows;
    for (const std::string& w : Windows()) {
      const Place p = PlaceOf(w);
      if (p.w >= kLeast && p.h >= kLeast && (!requestsOnly_ || Managed(w))) windows.push_back(w);
    }
    if (windows.empty()) return {};
    const std::string window = PickOf(windows);
    const std::string name = NameOf(window);
    // the toolkit's file dialog is not the program's: it is only closed
    if (name == "Save As" || name == "Open")
      return Input(Do("close the file dialog", "xdotool windowfocus --sync " + window + " key Escape"),
                   window, "file dialog");
    // a logon dialog most often gets the password, so that the walk goes on logged on
    if (name == "Oracle Logon" && Pick(4) != 0) {
      return Input(Do("log on", "xdotool windowfocus --sync " + window + " type --delay 20 manager") &&
                       Sh("xdotool windowfocus --sync " + window + " key Return"),
                   window, "log on");
    }
    const Place p = PlaceOf(window);
    if (p.w < kLeast || p.h < kLeast) return {};  // it went meanwhile
    const std::string at = std::to_string(p.x + Pick(p.w)) + " " + std::to_string(p.y + Pick(p.h));
    const std::string on = " on '" + name + "' " + window;
    static const std::vector<std::string> kKeys = {
        "Return",    "Escape",   "Tab",   "shift+Tab", "Up",        "Down",   "Left",   "Right",
        "Prior",     "Next",     "Home",  "End",       "F5",        "F2",     "F3",     "F4",
        "F7",        "F8",       "F10",   "space",     "Delete",    "ctrl+c", "ctrl+a", "alt+Down",
        "ctrl+Home", "ctrl+End", "alt+f", "alt+s",     "BackSpace", "Insert"};
    // (from here on the window manager's requests, a resize, a move and a close, which a walk of
    // requests only takes in turn; one drawn for a window the manager leaves alone gives none)
    constexpr int kRequests = 89;
    static constexpr int kInTurn[] = {kRequests, 95, 98};
    const int what = requestsOnly_ ? kInTurn[requestsDrawn_++ % std::size(kInTurn)] : Pick(100);
    auto input = [&](const std::string& Kind, const std::string& Logged, const std::string& Command) {
      return Input(Do(Logged, Command), window, Kind);
    };
    if (what < 34) return input("click", "click" + on, "xdotool mousemove " + at + " click 1");
    if (what < 40)
      return input("double click", "double click" + on,
                   "xdotool mousemove " + at + " click --repeat 2 --delay 60 1");
    if (what < 48) return input("right click", "right click" + on, "xdotool mousemove " + at + " click 3");
    if (what < 53)
      return input("wheel", "wheel" + on, "xdotool mousemove " + at + " click " + (Pick(2) ? "4" : "5"));
    if (what < 60) {
      const std::string by = std::to_string(Pick(201) - 100) + " " + std::to_string(Pick(201) - 100);
      return input("drag", "drag" + on + " by " + by,
                   "xdotool mousemove " + at + " mousedown 1 mousemove_relative -- " + by +
                       " mousemove_relative -- 1 1 mouseup 1");
    }
    if (what < 84) {
      const std::string key = PickOf(kKeys);
      return input("key", "key " + key + on, "xdotool key --delay 20 " + key);
    }
    if (what < kRequests) {
      // (quoted for the shell)
      static const std::vector<std::string> kTexts = {"abc", "SCOTT", "1", "%", "\"'\"", "'x y'", "Ж", "0.5"};
      return input("type", "type" + on, "xdotool type --delay 20 " + PickOf(kTexts));
    }
    if (!Managed(window)) return {};
    if (what < 95) {
      Given resize{Gave::kResize, window, "resize"};
      resize.w = 60 + Pick(1000);
      resize.h = 40 + Pick(800);
      const std::string size = std::to_string(resize.w) + " " + std::to_string(resize.h);
      return Request(resize, "resize" + on + " to " + size, "xdotool windowsize " + window + " " + size);
    }
    if (what < 98) {
      Given move{Gave::kMove, window, "move"};
      move.x = Pick(700);
      move.y = Pick(500);
      const std::string to = std::to_string(move.x) + " " + std::to_string(move.y);
      return Request(move, "move" + on + " to " + to, "xdotool windowmove " + window + " " + to);
    }
    return Request({Gave::kClose, window, "close"}, "close" + on, "wmctrl -i -c " + window);
  }
  // A move, resize or close of a window, asked of the window manager, the window watched from then on
  // for what becomes of it. One that asks for the place the window has already gives nothing. A walk
  // that sends no requests logs them all the same: the program must then take none of them.
  Given Request(const Given& What, const std::string& Logged, const std::string& Command) {
    const std::optional<e2e::WindowWatch::Place> before = watch_.Watch(std::stoul(What.window));
    if (!before) return {};  // it went meanwhile
    if (What.what != Gave::kClose && There(What, *before)) {
      Log(Logged + ": there already");
      return {};
    }
    if (!sendRequests_) {
      Log(Logged + " (not sent)  [" + Command + "]");
      uptake_.Mark();
      return What;
    }
    return Do(Logged, Command) ? What : Given{};
  }
  // Whether a window is where a move or resize asked it to be. A move places the frame's corner (or
  // the window's own, for a window whose gravity is static).
  static bool There(const Given& What, const e2e::WindowWatch::Place& At) {
    if (What.what == Gave::kResize) return At.width == What.w && At.height == What.h;
    return (At.frameX == What.x && At.frameY == What.y) || (At.x == What.x && At.y == What.y);
  }
  static Given Input(bool Went, const std::string& Window, const std::string& Kind) {
    return Went ? Given{Gave::kInput, Window, Kind} : Given{};
  }

  // What became of a step: whether it gave the program something, and whether the program took it.
  enum class Outcome {
    kNotGiven,  // no window could take it, the input did not go through, or the window manager refused it
    kNotTaken,
    kTaken,
  };
  // Whether the program took what the step gave it, waited on for a while (a busy program takes it
  // late). Keys and clicks: it read them, as the user time its windows note tells (the toolkit also
  // stamps that time when it shows a window); a step that ended the program was taken too. A request
  // the window manager passes on: the program acted on it, as Acted tells.
  Outcome Judged(const Given& What) {
    if (pid_ <= 0 || What.what == Gave::kNothing) return Outcome::kNotGiven;
    if (What.what != Gave::kInput) return Acted(What);
    return WaitFor([this] { return uptake_.TookInput(pid_) || Gone(); }, kTakeWithinMs) ? Outcome::kTaken
                                                                                        : Outcome::kNotTaken;
  }
  // Whether the program acted on a request (a repaint alone shows only that it runs, not that the
  // request reached it):
  // - a close: the window went (unmapped or destroyed), or the program ended;
  // - a move or resize: the window manager answered with the window where it was asked to be, and the
  //   program then repaints a window of its when asked, having read its events in order, the manager's
  //   answer among them. (The toolkit answers a ping only to the window manager.) An answer that
  //   leaves the window elsewhere is the manager's refusal: the request gave nothing.
  Outcome Acted(const Given& What) {
    if (What.what == Gave::kClose)
      return WaitFor([this] { return watch_.Went() || Gone(); }, kTakeWithinMs) ? Outcome::kTaken
                                                                                : Outcome::kNotTaken;
    std::optional<std::chrono::steady_clock::time_point> answered;
    bool there = false;
    WaitFor(
        [&] {
          if (watch_.Went() || Gone()) return true;
          const bool configured = watch_.Configured();
          const std::optional<e2e::WindowWatch::Place> now = watch_.Now();
          if (configured && now && There(What, *now)) return there = true;
          if (configured && !answered) answered = std::chrono::steady_clock::now();
          return answered && std::chrono::steady_clock::now() - *answered > kSettle;
        },
        kAnswerWithinMs);
    if (!there) {
      if (!answered) return Outcome::kNotTaken;
      Log("the window manager left it elsewhere");
      return Outcome::kNotGiven;
    }
    using Spot = e2e::Repaints::Spot;
    bool marked = false;
    const bool repainted = WaitFor(
        [&] {
          if (marked) {
            const Spot spot = requestRepaints_.Look();
            if (spot == Spot::kRepainted) return true;
            marked = spot == Spot::kMarked;
          }
          if (!marked) marked = requestRepaints_.Ask(std::stoul(What.window));
          if (!marked)
            for (const std::string& w : Windows())
              if (w != What.window && (marked = requestRepaints_.Ask(std::stoul(w)))) break;
          return false;
        },
        kTakeWithinMs);
    return repainted ? Outcome::kTaken : Outcome::kNotTaken;
  }

  // What a walk did: its steps, and how many of them the program took.
  struct Counts {
    int given = 0;  // the steps that gave the program something
    int taken = 0;
  };
  struct Tally : Counts {
    int steps = 0;
    std::map<std::string, Counts> kinds;  // by the kind of step
    // "resize 7 given, 5 taken; ..."
    std::string Kinds() const {
      std::string text;
      for (const auto& [kind, counts] : kinds)
        text += (text.empty() ? "" : "; ") + kind + " " + std::to_string(counts.given) + " given, " +
                std::to_string(counts.taken) + " taken";
      return text;
    }
  };
  // Takes Steps steps of the walk, or with Seconds as many as that time holds, the program started
  // again whenever it ends.
  Tally Walk(int Steps, int Seconds = 0) {
    const auto started = std::chrono::steady_clock::now();
    Tally tally;
    int idle = 0;  // steps in a row that found no window to give input to
    auto more = [&] {
      if (Seconds > 0) return std::chrono::steady_clock::now() - started < std::chrono::seconds(Seconds);
      return tally.steps < Steps;
    };
    for (; more() && !HasFailure(); ++step_, ++tally.steps) {
      if (step_ % 25 == 24) ChangeWorkload();
      const Given given = Step();
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
      const Outcome outcome = Judged(given);
      if (outcome == Outcome::kNotTaken) Log("the program did not take it");
      if (outcome != Outcome::kNotGiven)
        for (Counts* counts : {static_cast<Counts*>(&tally), &tally.kinds[given.kind]}) {
          ++counts->given;
          counts->taken += outcome == Outcome::kTaken ? 1 : 0;
        }
      idle = given.what != Gave::kNothing ? 0 : idle + 1;
      if (idle > 0 && idle % kIdleSteps == 0) Restore();
      if (Ended()) {
        if (HasFailure()) break;
        StartProgram();
        if (HasFatalFailure()) break;
      } else if (pid_ > 0) {
        lastKb_ = ResidentKb();
        ExpectAnswers();
      }
    }
    return tally;
  }
  // The program's state as the system tells it ('R' running, 'T' stopped, 'Z' ended, not yet waited
  // for, ...).
  char State() const { return childwait::ProcessState(pid_); }
  bool Stopped() const { return State() == 'T'; }
  bool Gone() const { return State() == 'Z'; }

  // Every box and dialog answered with Escape, then the main window given back and closed: the
  // program must end.
  void EndProgram() {
    for (int round = 0; round < kEndRounds && pid_ > 0 && !Ended(); ++round) {
      std::string main;
      for (const std::string& w : Windows()) {
        if (NameOf(w).rfind("Talvik for Oracle", 0) == 0)
          main = w;
        else if (Managed(w))
          Sh("xdotool windowactivate --sync " + w + " key Escape");
      }
      Sh("xdotool key Escape");  // a menu or a dropped list
      if (main.empty())
        main = Output("xdotool search --pid " + std::to_string(pid_) +
                      " --name '^Talvik for Oracle' 2>/dev/null | head -1");
      if (!main.empty()) {
        Sh("wmctrl -i -a " + main);
        Sh("wmctrl -i -c " + main);
      }
      WaitFor([&] { return pid_ <= 0 || Ended(); }, 1500);
    }
    EXPECT_EQ(pid_, 0) << "the program did not end" << Said();
  }

  // the step log's name, before the seed
  std::string logName_ = "seed-";
  // whether the walk sends the moves, resizes and closes it draws (a walk that sends none logs them
  // all the same), and whether it draws nothing else
  bool sendRequests_ = true;
  bool requestsOnly_ = false;
  int requestsDrawn_ = 0;
  unsigned seed_ = 1;
  std::mt19937 random_;
  std::string logPath_;
  std::ofstream log_;
  std::vector<std::string> steps_;
  int step_ = 0;
  e2e::Repaints repaints_;
  e2e::Uptake uptake_;
  // (a connection of its own: the watch on the program's answers keeps its mark meanwhile)
  e2e::Repaints requestRepaints_;
  // the window a move, resize or close was asked for last
  e2e::WindowWatch watch_;
  // since when the program has been asked for a repaint without painting one
  std::optional<std::chrono::steady_clock::time_point> silentSince_;
  std::chrono::steady_clock::time_point lastLook_;
  int starts_ = 0;
  long lastKb_ = 0;  // the program's resident memory at the last step
  // the current folder and HOME as they were before SetUp went to the test's folder (none when it
  // skipped or failed before)
  std::optional<CwdAndHome> restoreCwd_;
  pid_t workload_ = 0;
};

TEST_F(RandomInput, TheProgramUnderAChangingWorkloadNeitherCrashesNorReportsAnError) {
  const int steps = EnvInt("TALVIK_RANDOM_STEPS", 120);
  const int seconds = EnvInt("TALVIK_RANDOM_SECONDS", 0);
  e2e::CreateInstance();
  workload_ = childwait::StartShell(Sim() + " run --sessions 6 --busy 40 --period 700 --seed " +
                                    std::to_string(seed_) + " --seconds 86400 >/dev/null 2>&1");
  ASSERT_GT(workload_, 0);
  Prefill("SYSTEM", "SIM");
  StartProgram();
  const long firstKb = ResidentKb();
  const auto started = std::chrono::steady_clock::now();
  const Tally walked = Walk(steps, seconds);
  const double minutes =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() / 60.0;
  std::printf(
      "random-input: seed %u, %d steps (%d taken by the program) in %.1f minutes, %d starts, resident %ld kB "
      "at the first start, %ld kB at the last step\n",
      seed_, walked.steps, walked.taken, minutes, starts_, firstKb, lastKb_);
  std::printf("random-input: by kind: %s\n", walked.Kinds().c_str());
  Log("end: " + std::to_string(step_) + " steps");
  // a walk whose input the program did not take tells nothing
  EXPECT_GE(walked.taken * 2, walked.steps)
      << "the program took only " << walked.taken << " of " << walked.steps << " steps";
  if (!HasFailure()) EndProgram();
}

// The walk counts only the steps the program took: the program stopped takes none of them, however
// well the input goes to its windows, and once it runs again it takes them. (A short walk of its own,
// with a step log of its own: stopped-seed-<seed>.log.)
class RandomInputStopped : public RandomInput {
 protected:
  RandomInputStopped() { logName_ = "stopped-seed-"; }
};

TEST_F(RandomInputStopped, TheProgramStoppedTakesNoneOfTheSteps) {
  e2e::CreateInstance();
  Prefill("SYSTEM", "SIM");
  StartProgram();
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_GT(pid_, 0);
  ASSERT_EQ(kill(pid_, SIGSTOP), 0);
  {
    TScopeExit resume([this] {
      if (pid_ > 0) kill(pid_, SIGCONT);
    });
    ASSERT_TRUE(WaitFor([this] { return Stopped(); })) << "the program did not stop";
    const Tally stopped = Walk(kShortWalk);
    EXPECT_EQ(stopped.steps, kShortWalk);
    // (a walk none of whose steps reached the program would take none of them either)
    EXPECT_EQ(stopped.given, stopped.steps)
        << "only " << stopped.given << " of the steps reached the program";
    EXPECT_EQ(stopped.taken, 0) << "the program stopped took " << stopped.taken << " of " << stopped.steps
                                << " steps";
  }
  if (HasFailure()) return;
  const Tally resumed = Walk(kShortWalk);
  EXPECT_GT(resumed.taken, 0) << "the program running again took none of " << resumed.steps << " steps";
  if (!HasFailure()) EndProgram();
}

// A move, resize or close counts only when the program shows it acted on it: a walk that draws them
// but sends none has the program take none of them, and once it sends them the program takes them.
// (A short walk of its own, with a step log of its own: unsent-seed-<seed>.log.)
class RandomInputUnsent : public RandomInput {
 protected:
  RandomInputUnsent() {
    logName_ = "unsent-seed-";
    requestsOnly_ = true;
  }
};

TEST_F(RandomInputUnsent, TheProgramTakesNoneOfTheRequestsNotSent) {
  e2e::CreateInstance();
  Prefill("SYSTEM", "SIM");
  StartProgram();
  ASSERT_FALSE(HasFatalFailure());
  sendRequests_ = false;
  const Tally unsent = Walk(kShortWalk);
  std::printf("random-input: requests not sent: %s\n", unsent.Kinds().c_str());
  // (each kind drawn at least once: the walk takes them in turn)
  for (const char* kind : {"resize", "move", "close"}) {
    const auto counts = unsent.kinds.find(kind);
    EXPECT_TRUE(counts != unsent.kinds.end() && counts->second.given > 0) << "no " << kind << " was drawn";
  }
  EXPECT_EQ(unsent.taken, 0) << "the program took " << unsent.taken << " of " << unsent.given
                             << " requests not sent (" << unsent.Kinds() << ")";
  if (HasFailure()) return;
  sendRequests_ = true;
  const Tally sent = Walk(kShortWalk);
  std::printf("random-input: requests sent: %s\n", sent.Kinds().c_str());
  EXPECT_GT(sent.taken, 0) << "the program took none of the " << sent.given << " requests sent";
  if (!HasFailure()) EndProgram();
}

}  // namespace
