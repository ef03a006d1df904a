// The session window in the program under a real X server: journeys a user makes through it, with
// the instance shaped by its workload program.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "E2EHarness.h"

namespace {

class SessionJourney : public e2e::ProgramTest {
 protected:
  // The settings the program starts with: the last logon and values of the settings key.
  void Settings(const std::vector<std::pair<std::string, std::string>>& Values) {
    std::filesystem::create_directories(dir_ / "config" / "talvik");
    std::ofstream f(dir_ / "config" / "talvik" / "HKCU.reg");
    f << "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Talvik]\n";
    for (const auto& [name, value] : Values) f << "\"" << name << "\"=\"" << value << "\"\n";
    f << "\n[HKEY_CURRENT_USER\\Software\\Talvik\\LastLogon]\n\"UserName\"=\"SYSTEM\"\n\"DataBase\"="
         "\"SIM\"\n";
  }
  // Runs the workload program on the instance for a while: `busy` percent of its sessions in a call.
  std::string Sim() const {
    const char* bin = std::getenv("TALVIK_BINARY_DIR");
    return std::string(bin ? bin : ".") + "/oracle_sim/talvik-sim " + (dir_ / "sim.db").string();
  }
  void Workload(int Sessions, int Busy, int Seconds) {
    const std::string sim = Sim();
    ASSERT_TRUE(e2e::Shell(sim + " clock freeze"));
    workload_ = popen((sim + " run --sessions " + std::to_string(Sessions) + " --busy " +
                       std::to_string(Busy) + " --seconds " + std::to_string(Seconds) + " >/dev/null 2>&1")
                          .c_str(),
                      "r");
    ASSERT_NE(workload_, nullptr);
  }
  void TearDown() override {
    if (workload_) {
      e2e::Shell(Sim() + " stop");
      pclose(workload_);
    }
    e2e::ProgramTest::TearDown();
  }
  // Logs on with the prefilled user: only the password is typed. The main window's id.
  std::string LogOn() {
    const std::string logon = Await("Oracle Logon");
    EXPECT_FALSE(logon.empty()) << "no logon dialog";
    Type(logon, "manager");
    Keys(logon, "Return");
    const std::string main = Await("Talvik for Oracle");
    EXPECT_FALSE(main.empty()) << "no main window";
    return main;
  }
  // "sid serial" of the program's own session.
  static std::string SessionPair() {
    TOracleSession s(nullptr);
    s.SetLogonUsername("system");
    s.SetLogonPassword("manager");
    s.SetLogonDatabase("SIM");
    s.LogOn();
    TOracleQuery q(nullptr);
    q.SetSession(&s);
    q.SQL()->SetText("select sid || ',' || serial# from v$session where client_info = 'Talvik'");
    q.Execute();
    return q.Eof() ? "" : q.Field(0).AsString();
  }
  // The largest sample of a 16-bit PCM WAV file (0 when it holds none).
  static int Loudest(const std::filesystem::path& Wav) {
    std::ifstream in(Wav, std::ios::binary);
    const std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t data = b.find("data");
    if (b.compare(0, 4, "RIFF") != 0 || data == std::string::npos) return 0;
    int loudest = 0;
    for (std::size_t at = data + 8; at + 1 < b.size(); at += 2) {
      int16_t sample;
      std::memcpy(&sample, b.data() + at, sizeof sample);
      loudest = std::max(loudest, std::abs(static_cast<int>(sample)));
    }
    return loudest;
  }

  FILE* workload_ = nullptr;
};

// Journey: alarms on with sound; the first listing finds too many active sessions and speaks the
// alarm into a sound file that holds speech.
TEST_F(SessionJourney, AlarmsAreSpokenIntoSoundFiles) {
  const auto wavs = dir_ / "speech";
  std::filesystem::create_directories(wavs);
  setenv("TALVIK_SPEECH_WAV", wavs.c_str(), 1);
  Settings({{"Alarm", "1"}, {"Sound", "1"}, {"AlarmActiveCount", "1"}, {"AlarmActiveDurationOn", "0"}});
  // the instance exists once a session has logged on; then its workload keeps sessions busy
  {
    TOracleSession s(nullptr);
    s.SetLogonUsername("system");
    s.SetLogonPassword("manager");
    s.SetLogonDatabase("SIM");
    s.LogOn();
  }
  Workload(6, 100, 60);
  Start();
  LogOn();
  std::vector<std::filesystem::path> files;
  ASSERT_TRUE(e2e::WaitFor([&] {
    files.clear();
    for (const auto& e : std::filesystem::directory_iterator(wavs))
      if (e.path().extension() == ".wav") files.push_back(e.path());
    return !files.empty();
  })) << "nothing was spoken";
  EXPECT_TRUE(e2e::WaitFor([&] { return Loudest(files.front()) > 1000; })) << "the file holds no speech";
  Picture("alarms");
  unsetenv("TALVIK_SPEECH_WAV");
}

}  // namespace

namespace {

// The windows whose name is exactly Name.
int WindowsNamed(const std::string& Name) {
  const std::string ids = e2e::Output("xdotool search --onlyvisible --name '^" + Name + "$' 2>/dev/null");
  return ids.empty() ? 0 : static_cast<int>(std::count(ids.begin(), ids.end(), '\n')) + 1;
}

// Journey: auto-refresh switched on from the grid's popup menu, then the line to the server is cut:
// one "Ошибка обновления" box, auto-refresh off, and no box after it.
TEST_F(SessionJourney, ACutUnderAutoRefreshShowsOneBoxThenNone) {
  Settings({{"IntervalAutoRefresh", "1"}});
  Start();
  const std::string main = LogOn();
  ASSERT_FALSE(main.empty());
  const int before = WindowsNamed("Talvik");
  // the grid's popup menu: its first item is "Автообновление"
  e2e::Shell("xdotool mousemove --window " + main + " 300 200 click 3");
  e2e::Shell("xdotool key --delay 100 Down Return");
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // a tick or two go through
  EXPECT_EQ(WindowsNamed("Talvik"), before) << "a tick failed before the cut";
  const std::string pair = SessionPair();
  ASSERT_FALSE(pair.empty());
  ASSERT_TRUE(
      e2e::Shell(Sim() + " cut " + pair.substr(0, pair.find(',')) + " " + pair.substr(pair.find(',') + 1)));
  ASSERT_TRUE(e2e::WaitFor([&] { return WindowsNamed("Talvik") > before; })) << "no box";
  Picture("box");
  const std::string box = e2e::Output("xdotool search --onlyvisible --name '^Talvik$' | tail -1");
  Keys(box, "Return");
  ASSERT_TRUE(e2e::WaitFor([&] { return WindowsNamed("Talvik") == before; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(3000));  // three intervals: no tick runs
  EXPECT_EQ(WindowsNamed("Talvik"), before);
}

}  // namespace
