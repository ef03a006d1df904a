#include "platform/speech/Speech.h"

#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "platform/rtl/ComObj.h"
#include "platform/rtl/SysUtils.h"

namespace {

// ---- the parts of the engine's interface we call ----
constexpr int kPlayback = 0, kSynchronous = 2;  // audio output modes
constexpr int kOk = 0;
constexpr unsigned kCharsUtf8 = 1, kEndPause = 0x1000;
constexpr int kPositionCharacter = 1;
using SynthCallback = int (*)(short* samples, int count, void* events);

struct Engine {
  void* library = nullptr;
  int (*Initialize)(int output, int bufferMs, const char* path, int options) = nullptr;
  void (*SetSynthCallback)(SynthCallback) = nullptr;
  int (*SetVoiceByName)(const char* name) = nullptr;
  int (*Synth)(const void* text, std::size_t size, unsigned position, int positionType, unsigned endPosition,
               unsigned flags, unsigned* id, void* user) = nullptr;
  int (*Synchronize)() = nullptr;
  int (*Terminate)() = nullptr;
  int mode = -1;  // the output mode it was started in, -1 not started
  int sampleRate = 0;
};

Engine& TheEngine() {
  static Engine e;
  return e;
}

template <typename F>
void Bind(void* library, const char* name, F& f) {
  f = reinterpret_cast<F>(dlsym(library, name));
  if (!f) throw EOleError(std::string("The speech engine lacks ") + name);
}

// The engine started in `mode` with the Russian voice; raises when that cannot be.
Engine& StartEngine(int mode) {
  Engine& e = TheEngine();
  if (!e.library) {
    const char* name = std::getenv("TALVIK_SPEECH_LIBRARY");
    void* lib = dlopen(name && *name ? name : "libespeak-ng.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!lib) throw EOleError("The speech engine's library cannot be loaded");
    try {
      Bind(lib, "espeak_Initialize", e.Initialize);
      Bind(lib, "espeak_SetSynthCallback", e.SetSynthCallback);
      Bind(lib, "espeak_SetVoiceByName", e.SetVoiceByName);
      Bind(lib, "espeak_Synth", e.Synth);
      Bind(lib, "espeak_Synchronize", e.Synchronize);
      Bind(lib, "espeak_Terminate", e.Terminate);
    } catch (...) {
      dlclose(lib);
      throw;
    }
    e.library = lib;
  }
  if (e.mode != mode) {
    if (e.mode >= 0) e.Terminate();
    e.mode = -1;
    e.sampleRate = e.Initialize(mode, 0, nullptr, 0);
    if (e.sampleRate <= 0) throw EOleError("The speech engine cannot start");
    e.mode = mode;
  }
  if (e.SetVoiceByName("ru") != kOk) throw EOleError("The speech engine has no Russian voice");
  return e;
}

bool AudioOutputPresent() {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (std::getenv("PULSE_SERVER")) return true;
  if (const char* run = std::getenv("XDG_RUNTIME_DIR"))
    if (fs::exists(fs::path(run) / "pulse" / "native", ec) || fs::exists(fs::path(run) / "pipewire-0", ec))
      return true;
  if (fs::is_directory("/dev/snd", ec))
    for (auto& entry : fs::directory_iterator("/dev/snd", ec)) {
      std::string n = entry.path().filename().string();
      if (n.starts_with("pcmC") && n.ends_with("p")) return true;
    }
  return false;
}

class Backend {
 public:
  virtual ~Backend() = default;
  virtual void Speak(const std::string& text) = 0;
};

void Say(Engine& e, const std::string& text) {
  if (e.Synth(text.c_str(), text.size() + 1, 0, kPositionCharacter, 0, kCharsUtf8 | kEndPause, nullptr,
              nullptr) != kOk)
    throw EOleError("The speech engine refused the text");
}

// Through the sound card: queued, spoken while the program goes on.
class PlaybackBackend : public Backend {
 public:
  PlaybackBackend() : engine_(Start()) {}
  void Speak(const std::string& text) override { Say(engine_, text); }

 private:
  static Engine& Start() {
    if (!AudioOutputPresent()) throw EOleError("No audio output for speech");
    return StartEngine(kPlayback);
  }
  Engine& engine_;
};

// Each text into its own WAV file.
class WavBackend : public Backend {
 public:
  explicit WavBackend(std::string folder) : folder_(std::move(folder)), engine_(StartEngine(kSynchronous)) {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (!std::filesystem::is_directory(folder_))
      throw EOleError("No folder for the spoken texts: " + folder_);
  }
  void Speak(const std::string& text) override {
    samples_.clear();
    engine_.SetSynthCallback(&WavBackend::Collect);
    current_ = this;
    struct Done {
      ~Done() { current_ = nullptr; }
    } done;
    Say(engine_, text);
    engine_.Synchronize();
    char name[32];
    std::snprintf(name, sizeof name, "speech-%04d.wav", ++count_);
    Write(folder_ + "/" + name);
  }

 private:
  static int Collect(short* samples, int count, void*) {
    if (current_ && samples && count > 0)
      current_->samples_.insert(current_->samples_.end(), samples, samples + count);
    return 0;
  }
  void Write(const std::string& path) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f) throw EOleError("Cannot write " + path);
    auto u32 = [&](std::uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
    auto bytes = static_cast<std::uint32_t>(samples_.size() * 2);
    auto rate = static_cast<std::uint32_t>(engine_.sampleRate);
    f.write("RIFF", 4);
    u32(36 + bytes);
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(1);  // PCM
    u16(1);  // mono
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    f.write("data", 4);
    u32(bytes);
    f.write(reinterpret_cast<const char*>(samples_.data()), bytes);
  }
  static inline WavBackend* current_ = nullptr;
  std::string folder_;
  Engine& engine_;
  std::vector<short> samples_;
  int count_ = 0;
};

// Each text as a line of a file.
class LogBackend : public Backend {
 public:
  explicit LogBackend(std::string path) : path_(std::move(path)) {
    std::ofstream f(path_, std::ios::app);
    if (!f) throw EOleError("Cannot write " + path_);
  }
  void Speak(const std::string& text) override {
    std::ofstream f(path_, std::ios::app);
    f << text << '\n';
  }

 private:
  std::string path_;
};

class SpeechObject : public TDispatchObject {
 public:
  SpeechObject() {
    if (const char* log = std::getenv("TALVIK_SPEECH_LOG"); log && *log)
      backend_ = std::make_unique<LogBackend>(log);
    else if (const char* wav = std::getenv("TALVIK_SPEECH_WAV"); wav && *wav)
      backend_ = std::make_unique<WavBackend>(wav);
    else
      backend_ = std::make_unique<PlaybackBackend>();
  }
  TVariant Invoke(const std::string& Name, std::vector<TVariant>& Args) override {
    if (!SameText(Name, "speak")) throw EOleError("Unknown name");
    if (Args.size() != 1) throw EOleError("Invalid number of parameters");
    backend_->Speak(VarToStr(Args[0]));
    return TVariant();
  }

 private:
  std::unique_ptr<Backend> backend_;
};

}  // namespace

void RegisterSpeechControl() {
  RegisterComClass(StringToGUID(CLSID_SpeechControl), [] { return std::make_unique<SpeechObject>(); });
}
