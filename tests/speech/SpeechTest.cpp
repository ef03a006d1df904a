// The speech control: made by its class identifier, speaking through the recording backends, and
// failing at creation when the engine cannot speak.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/rtl/ComObj.h"
#include "platform/speech/Speech.h"
#include "rtl/TempDir.h"
#include "rtl/UserLocale.h"
#include "tests/TemporaryFiles.h"

namespace fs = std::filesystem;

namespace {

class Speech : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterSpeechControl();
    unsetenv("TALVIK_SPEECH_LOG");
    unsetenv("TALVIK_SPEECH_WAV");
  }
  void TearDown() override {
    unsetenv("TALVIK_SPEECH_LOG");
    unsetenv("TALVIK_SPEECH_WAV");
    unsetenv("TALVIK_SPEECH_LIBRARY");
  }
  static std::unique_ptr<TDispatchObject> Create() {
    return CreateComObject(StringToGUID(CLSID_SpeechControl));
  }
  TempDir folder_;
  fs::path dir_{folder_.Path()};
};

}  // namespace

// The engine's library is loaded once per process and stays: a library that is missing is seen in a
// process of its own, where nothing has loaded the engine before.
TEST_F(Speech, AMissingEngineLibraryFailsTheCreation) {
  const std::string output = localetest::RunTestInOwnProcess(
      "", "Speech.DISABLED_AMissingEngineLibraryFailsTheCreationInAFreshProcess");
  EXPECT_NE(output.find("[  PASSED  ] 1 test."), std::string::npos) << output;
}

// The recordings, and whatever the engine and its sound client keep while they speak, stay in the
// test process's own folder: nothing else is made in the temporary directory, and nothing stays.
TEST(SpeechFolder, IsInTheProcessFolder) {
  ExpectOnlyTheProcessFolderMade("Speech.RussianTextSpokenIntoAWavHoldsSound");
}

TEST_F(Speech, DISABLED_AMissingEngineLibraryFailsTheCreationInAFreshProcess) {
  setenv("TALVIK_SPEECH_LIBRARY", "libespeak-ng-not-there.so.1", 1);
  setenv("TALVIK_SPEECH_WAV", dir_.c_str(), 1);
  EXPECT_THROW(Create(), EOleError);
  EXPECT_THROW(CreateComObject(StringToGUID("{EEE78591-FE22-11D0-8BEF-0060081841DF}")), EOleSysError);
}

TEST_F(Speech, TheRecordingBackendWritesEachTextAsALine) {
  std::string log = (dir_ / "spoken.txt").string();
  setenv("TALVIK_SPEECH_LOG", log.c_str(), 1);
  auto speech = Create();
  DispatchInvoke(speech.get(), "speak", {TVariant(std::string("Активных сеансов: 21"))});
  DispatchInvoke(speech.get(), "SPEAK", {TVariant(std::string("Долгий сеанс"))});
  std::ifstream f(log);
  std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "Активных сеансов: 21\nДолгий сеанс\n");
  EXPECT_THROW(DispatchInvoke(speech.get(), "say", {TVariant(std::string("x"))}), EOleError);
  // a log that cannot be written fails the creation, not a later call
  setenv("TALVIK_SPEECH_LOG", (dir_ / "no" / "such" / "dir" / "x.txt").c_str(), 1);
  EXPECT_THROW(Create(), EOleError);
}

TEST_F(Speech, RussianTextSpokenIntoAWavHoldsSound) {
  setenv("TALVIK_SPEECH_WAV", dir_.c_str(), 1);
  auto speech = Create();
  DispatchInvoke(speech.get(), "speak", {TVariant(std::string("Превышено число активных сеансов"))});
  DispatchInvoke(speech.get(), "speak", {TVariant(std::string("Тревога"))});
  fs::path first = dir_ / "speech-0001.wav";
  ASSERT_TRUE(fs::exists(first));
  ASSERT_TRUE(fs::exists(dir_ / "speech-0002.wav"));
  std::ifstream f(first, std::ios::binary);
  std::vector<char> wav((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  ASSERT_GT(wav.size(), 44u);
  EXPECT_EQ(std::string(wav.data(), 4), "RIFF");
  EXPECT_EQ(std::string(wav.data() + 8, 4), "WAVE");
  std::uint32_t rate;
  std::memcpy(&rate, wav.data() + 24, 4);
  ASSERT_GT(rate, 8000u);
  std::size_t samples = (wav.size() - 44) / 2;
  EXPECT_GT(samples, rate / 2);  // at least half a second of speech
  int loudest = 0;
  for (std::size_t i = 0; i < samples; ++i) {
    std::int16_t s;
    std::memcpy(&s, wav.data() + 44 + 2 * i, 2);
    loudest = std::max(loudest, std::abs(static_cast<int>(s)));
  }
  EXPECT_GT(loudest, 2000);  // sound, not silence
}
