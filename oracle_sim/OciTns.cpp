#include "oracle_sim/OciTns.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "oracle_sim/OciInternal.h"

namespace fs = std::filesystem;

namespace oracle_sim::oci {

namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

// The value of "(PATH = value)" inside a descriptor.
std::string FindPath(const std::string& descriptor) {
  std::string up = UpperCase(descriptor);
  size_t at = 0;
  while ((at = up.find("(PATH", at)) != std::string::npos) {
    size_t i = at + 5;
    while (i < up.size() && std::isspace(static_cast<unsigned char>(up[i]))) ++i;
    if (i < up.size() && up[i] == '=') {
      size_t end = descriptor.find(')', i + 1);
      if (end == std::string::npos) return std::string();
      return Trim(descriptor.substr(i + 1, end - i - 1));
    }
    at = i;
  }
  return std::string();
}

std::string WithoutComments(std::istream& in) {
  std::string out, line;
  while (std::getline(in, line)) {
    size_t hash = line.find('#');
    if (hash != std::string::npos) line.resize(hash);
    out += line;
    out += '\n';
  }
  return out;
}

void ParseFile(const fs::path& path, std::set<std::string>& seen, std::vector<TnsEntry>& out) {
  std::error_code ec;
  fs::path canonical = fs::weakly_canonical(path, ec);
  std::string key = ec ? path.string() : canonical.string();
  if (!seen.insert(key).second) return;  // each file once: an include cycle ends here
  std::ifstream in(path);
  if (!in) return;
  std::string text = WithoutComments(in);
  size_t i = 0, n = text.size();
  while (i < n) {
    while (i < n && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i >= n) break;
    if (text[i] == '(' || text[i] == ')') {  // a stray group: skip it whole
      int depth = 0;
      do {
        if (text[i] == '(') ++depth;
        if (text[i] == ')') depth = std::max(0, depth - 1);
        ++i;
      } while (i < n && depth > 0);
      continue;
    }
    size_t eq = text.find('=', i);
    if (eq == std::string::npos) break;
    std::string head = text.substr(i, eq - i);
    if (head.find('(') != std::string::npos) {  // malformed: resume at the group
      i = text.find('(', i);
      continue;
    }
    i = eq + 1;
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::string value;
    if (i < n && text[i] == '\n') {  // the value may start on the next line
      while (i < n && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    }
    if (i < n && text[i] == '(') {
      size_t start = i;
      int depth = 0;
      do {
        if (text[i] == '(') ++depth;
        if (text[i] == ')') --depth;
        ++i;
      } while (i < n && depth > 0);
      value = text.substr(start, i - start);
    } else {
      size_t end = text.find('\n', i);
      if (end == std::string::npos) end = n;
      value = Trim(text.substr(i, end - i));
      i = end;
    }
    std::vector<std::string> names;
    std::string name;
    for (char c : head + ",") {
      if (c == ',' || std::isspace(static_cast<unsigned char>(c))) {
        if (!name.empty()) names.push_back(UpperCase(name));
        name.clear();
      } else if (c != '"') {
        name += c;
      }
    }
    if (names.size() == 1 && names[0] == "IFILE") {
      if (!value.empty()) {
        fs::path inc(value);
        if (inc.is_relative()) inc = path.parent_path() / inc;
        ParseFile(inc, seen, out);
      }
      continue;
    }
    if (names.empty()) continue;
    TnsEntry e;
    e.names = std::move(names);
    e.databaseFile = FindPath(value);
    if (!e.databaseFile.empty() && fs::path(e.databaseFile).is_relative())
      e.databaseFile = (path.parent_path() / e.databaseFile).string();
    out.push_back(std::move(e));
  }
}

std::string BaseName(const std::string& alias) {
  size_t dot = alias.find('.');
  return dot == std::string::npos ? alias : alias.substr(0, dot);
}

[[noreturn]] void Unresolved() {
  throw MakeError(12154, "TNS:could not resolve service name");
}

}  // namespace

std::vector<TnsEntry> ParseTnsNames(const std::string& path) {
  std::set<std::string> seen;
  std::vector<TnsEntry> out;
  ParseFile(path, seen, out);
  return out;
}

std::vector<std::string> TnsAdminFolders() {
  std::vector<std::string> folders;
  if (const char* t = std::getenv("TNS_ADMIN"); t && *t) folders.push_back(t);
  if (const char* h = std::getenv("ORACLE_HOME"); h && *h)
    folders.push_back((fs::path(h) / "network" / "admin").string());
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ResolveDatabaseFile), &info) && info.dli_fname) {
    fs::path lib(info.dli_fname);
    if (lib.has_parent_path())
      folders.push_back((lib.parent_path().parent_path() / "network" / "admin").string());
  }
#ifdef TALVIK_SIM_HOME
  folders.push_back((fs::path(TALVIK_SIM_HOME) / "network" / "admin").string());
#endif
  return folders;
}

bool IsDescriptor(const std::string& connect) {
  const std::string c = Trim(connect);
  return !c.empty() && c[0] == '(';
}

std::string ResolveDatabaseFile(const std::string& connect) {
  std::string c = Trim(connect);
  if (IsDescriptor(c)) {
    std::string path = FindPath(c);
    if (path.empty()) Unresolved();
    return path;
  }
  std::string alias = UpperCase(c.empty() ? std::string("SIM") : c);
  for (const std::string& folder : TnsAdminFolders()) {
    fs::path file = fs::path(folder) / "tnsnames.ora";
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) continue;
    for (const TnsEntry& e : ParseTnsNames(file.string())) {
      for (const std::string& name : e.names) {
        if (name == alias || BaseName(name) == BaseName(alias)) {
          if (const char* over = std::getenv("TALVIK_SIM_DB"); over && *over) return over;
          if (e.databaseFile.empty()) Unresolved();
          return e.databaseFile;
        }
      }
    }
    break;  // the first tnsnames.ora found is the one that counts
  }
  Unresolved();
}

}  // namespace oracle_sim::oci
