// A program that writes settings through the registry store on command, as a copy of the program
// does: the tests start two at once over one settings folder. Its argument is the folder that stands
// for XDG_CONFIG_HOME. It says "ready", then takes one command a line from its standard input and
// answers each with "done" once carried out:
//
//   write <count> <prefix>   <count> values, each written on its own (one save each), named
//                            <prefix>0, <prefix>1, ... in the key Software\Talvik\Values
//   erase <key>              erases the key below Software\Talvik, having said "erasing" first
//   pause                    the next save stops when its temporary file is written, before it takes
//                            the file's place: it says "paused" and goes on at the next line
//
// A change that does not reach the file is answered "failed: <reason>" instead, a line it does not
// know "unknown command: <line>". The end of its input ends it.
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "platform/rtl/Files.h"
#include "platform/rtl/Process.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr const char* kKey = "Software\\Talvik";

void Say(const std::string& Line) {
  std::cout << Line << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: registry_writer_program <settings folder>\n");
    return 2;
  }
  SetEnvironmentVariable("XDG_CONFIG_HOME", argv[1]);
  Say("ready");
  for (std::string line; std::getline(std::cin, line);) {
    std::istringstream command(line);
    std::string verb;
    command >> verb;
    try {
      if (verb == "write") {
        int count = 0;
        std::string prefix;
        command >> count >> prefix;
        TRegIniFile ini(kKey);
        for (int n = 0; n < count; ++n) ini.WriteInteger("Values", prefix + std::to_string(n), n);
      } else if (verb == "erase") {
        std::string key;
        command >> key;
        Say("erasing");
        TRegIniFile(kKey).EraseSection(key);
      } else if (verb == "pause") {
        SetAtomicSaveHook([](const std::string&) {
          SetAtomicSaveHook(nullptr);
          Say("paused");
          std::string goOn;
          std::getline(std::cin, goOn);
        });
      } else {
        Say("unknown command: " + line);
        continue;
      }
      Say("done");
    } catch (const ERegistryFileError& e) {
      Say("failed: " + e.Message() + " (" + e.Problem().Reason + ")");
    } catch (const Exception& e) {
      Say("failed: " + e.Message());
    }
  }
  return 0;
}
