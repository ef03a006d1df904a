#include <gtest/gtest.h>

#include <cmath>

#include "platform/rtl/Files.h"
#include "platform/rtl/Process.h"
#include "rtl/TempDir.h"

namespace {

TEST(ProcessTest, CommandLineParameters) {
  SetCommandLine({"talvik", "OCIDLL=/opt/oci.so", "ORACLEHOME=SimHome"});
  EXPECT_EQ(ParamCount(), 2);
  EXPECT_EQ(ParamStr(1), "OCIDLL=/opt/oci.so");
  EXPECT_EQ(ParamStr(2), "ORACLEHOME=SimHome");
  EXPECT_EQ(ParamStr(3), "");
  EXPECT_EQ(ParamStr(-1), "");
  // The program itself, with its full path.
  EXPECT_EQ(ParamStr(0)[0], '/');
  EXPECT_TRUE(FileExists(ParamStr(0)));

  const char* argv[] = {"prog", "a", "b c", nullptr};
  SetCommandLine(3, argv);
  EXPECT_EQ(ParamCount(), 2);
  EXPECT_EQ(ParamStr(2), "b c");
  SetCommandLine({});
  EXPECT_EQ(ParamCount(), 0);
}

TEST(ProcessTest, EnvironmentVariables) {
  const std::string name = "TALVIK_PROCESS_TEST_VAR";
  EXPECT_EQ(GetEnvironmentVariable(name), "");
  EXPECT_TRUE(SetEnvironmentVariable(name, "/a:/b"));
  EXPECT_EQ(GetEnvironmentVariable(name), "/a:/b");
  EXPECT_TRUE(SetEnvironmentVariable(name, ""));  // empty removes it
  EXPECT_EQ(std::getenv(name.c_str()), nullptr);
  EXPECT_FALSE(SetEnvironmentVariable("", "x"));
  EXPECT_FALSE(SetEnvironmentVariable("A=B", "x"));
  EXPECT_EQ(GetEnvironmentVariable(""), "");
}

TEST(ProcessTest, CurrentDirectory) {
  TempDir dir;
  std::string saved = GetCurrentDir();
  ASSERT_TRUE(SetCurrentDir(dir.Path()));
  char real[4096];
  ASSERT_NE(realpath(dir.Path().c_str(), real), nullptr);
  EXPECT_EQ(GetCurrentDir(), real);
  EXPECT_EQ(ExpandFileName("x/../y.txt"), std::string(real) + "/y.txt");
  EXPECT_FALSE(SetCurrentDir(dir.File("missing")));
  EXPECT_EQ(GetCurrentDir(), real);
  ASSERT_TRUE(SetCurrentDir(saved));
}

TEST(ProcessTest, TickCountIsMonotonicMilliseconds) {
  uint64_t start = GetTickCount64();
  uint32_t start32 = GetTickCount();
  Sleep(30);
  uint64_t elapsed = GetTickCount64() - start;
  EXPECT_GE(elapsed, 30u);
  EXPECT_LT(elapsed, 5000u);
  EXPECT_GE(static_cast<uint32_t>(GetTickCount() - start32), 30u);
}

TEST(ProcessTest, LoadsARealLibrary) {
  HMODULE libm = LoadLibrary("libm.so.6");
  ASSERT_NE(libm, 0u) << GetLastLoadError();
  auto cosine = reinterpret_cast<double (*)(double)>(GetProcAddress(libm, "cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  EXPECT_EQ(GetProcAddress(libm, "no_such_symbol_here"), nullptr);
  EXPECT_TRUE(FreeLibrary(libm));

  TempDir dir;
  EXPECT_EQ(LoadLibrary(dir.File("oci.dll")), 0u);
  EXPECT_NE(GetLastLoadError().find("oci.dll"), std::string::npos) << GetLastLoadError();
  dir.Write("ora81.dll", "not an ELF file");
  EXPECT_EQ(LoadLibrary(dir.File("ora81.dll")), 0u);
  EXPECT_FALSE(GetLastLoadError().empty());
  EXPECT_EQ(LoadLibrary(""), 0u);
  EXPECT_EQ(GetProcAddress(0, "cos"), nullptr);
  EXPECT_FALSE(FreeLibrary(0));
}

int FakeEntry() {
  return 42;
}

TEST(ProcessTest, FakeLoaderServesItsSymbols) {
  TFakeLibraryLoader fake;
  fake.AddLibrary("oci.dll", {{"OCIInitialize", reinterpret_cast<void*>(&FakeEntry)}});
  ILibraryLoader* previous = SetLibraryLoader(&fake);
  EXPECT_EQ(&GetLibraryLoader(), &fake);

  HMODULE module = LoadLibrary("/opt/oracle/bin/oci.dll");  // found by its file name
  ASSERT_NE(module, 0u);
  EXPECT_EQ(fake.LoadCount("oci.dll"), 1);
  auto entry = reinterpret_cast<int (*)()>(GetProcAddress(module, "OCIInitialize"));
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry(), 42);
  EXPECT_EQ(GetProcAddress(module, "OCIEnvCreate"), nullptr);

  EXPECT_EQ(LoadLibrary("ora73.dll"), 0u);
  EXPECT_NE(GetLastLoadError().find("ora73.dll"), std::string::npos);
  EXPECT_EQ(fake.LoadRequests(), (std::vector<std::string>{"/opt/oracle/bin/oci.dll", "ora73.dll"}));

  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_FALSE(FreeLibrary(module));  // already freed
  EXPECT_EQ(fake.LoadCount("oci.dll"), 0);
  EXPECT_EQ(GetProcAddress(module, "OCIInitialize"), nullptr);

  EXPECT_EQ(SetLibraryLoader(nullptr), &fake);
  EXPECT_EQ(&GetLibraryLoader(), previous);
}

TEST(ProcessTest, DebuggerDetection) {
  bool real = IsDebuggerPresent();
  SetDebuggerPresentOverride(true);
  EXPECT_TRUE(IsDebuggerPresent());
  SetDebuggerPresentOverride(false);
  EXPECT_FALSE(IsDebuggerPresent());
  SetDebuggerPresentOverride(std::nullopt);
  EXPECT_EQ(IsDebuggerPresent(), real);
}

TEST(ProcessTest, RandomSequenceIsReproducible) {
  SetRandSeed(12345);
  std::vector<int> first;
  for (int i = 0; i < 100; ++i) first.push_back(Random(1000));
  SetRandSeed(12345);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(Random(1000), first[static_cast<size_t>(i)]);
  int low = 1000, high = -1;
  for (int value : first) {
    low = std::min(low, value);
    high = std::max(high, value);
  }
  EXPECT_GE(low, 0);
  EXPECT_LT(high, 1000);
  EXPECT_GT(high - low, 500);  // spread over the range
  EXPECT_EQ(Random(0), 0);
  double d = Random();
  EXPECT_GE(d, 0.0);
  EXPECT_LT(d, 1.0);

  SetRandomizeSource([] { return 777u; });
  Randomize();
  EXPECT_EQ(RandSeed(), 777u);
  int a = Random(1000);
  Randomize();
  EXPECT_EQ(Random(1000), a);
  SetRandomizeSource(nullptr);
  Randomize();
  uint32_t clockSeed = RandSeed();
  Sleep(2);
  Randomize();
  EXPECT_NE(RandSeed(), clockSeed);
}

}  // namespace
