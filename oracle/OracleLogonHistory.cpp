// The logon history: its entries, the obfuscated stored form, and the registry and INI stores.
#include <cassert>
#include <chrono>
#include <mutex>
#include <vector>

#include "oracle/Oracle.h"
#include "oracle/OracleLogon.h"
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/RegistryStore.h"

namespace {

constexpr int kScrambleKeyMin = 2000;
constexpr int kScrambleKeyRange = 1000;
constexpr int kGroupOffset = 1000;
constexpr size_t kGroupDigits = 4;
constexpr char kRegValuePrefix[] = "Logon";
constexpr char kIniSection[] = "Logon";
// History files hold (obfuscated) passwords: only their owner may read them.
constexpr unsigned kHistoryFileMode = 0600;

// The generator the keys are drawn from: a linear congruential one of the history's own, so the
// stored texts depend on nothing but the seed.
class TScrambleRandom {
 public:
  void Seed(uint32_t Value) { state_ = Value; }
  // 0 <= result < Range.
  int Next(int Range) {
    state_ = state_ * 0x08088405u + 1u;
    return static_cast<int>((static_cast<uint64_t>(state_) * static_cast<uint64_t>(Range)) >> 32);
  }

 private:
  uint32_t state_ = 0;
};

std::mutex scrambleLock;
TScrambleRandom scrambleRandom;
std::optional<uint32_t> fixedSeed;

// Seeds the generator once for a save.
void SeedForSave() {
  std::lock_guard guard(scrambleLock);
  if (fixedSeed) {
    scrambleRandom.Seed(*fixedSeed);
  } else {
    auto now = std::chrono::system_clock::now().time_since_epoch();
    scrambleRandom.Seed(
        static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
  }
}

int NextScrambleKey() {
  std::lock_guard guard(scrambleLock);
  return kScrambleKeyMin + scrambleRandom.Next(kScrambleKeyRange);
}

// The stored text of an entry, or nothing when it is too long to be stored.
std::optional<std::string> StoredText(const THistoryItem* Item) {
  std::string text = HistoryEntryText(Item);
  if (text.size() > HistoryEntryMaxBytes) return std::nullopt;
  return ScrambleHistoryText(text, NextScrambleKey());
}

// Hands one stored value to the history (as a logon text); false when it is not a stored entry.
bool AddStored(THistoryItems* History, const std::string& Stored) {
  auto text = UnscrambleHistoryText(Stored);
  if (!text) return false;
  AddHistory(History, *text, "", false, "", "");
  return true;
}

bool IsLogonValueName(const std::string& Name) {
  std::string prefix = kRegValuePrefix;
  if (Name.size() <= prefix.size() || !SameText(Name.substr(0, prefix.size()), prefix)) return false;
  for (size_t i = prefix.size(); i < Name.size(); ++i)
    if (Name[i] < '0' || Name[i] > '9') return false;
  return true;
}

std::string RegistryPath(const std::string& Section) {
  return !Section.empty() && Section[0] == '\\' ? Section.substr(1) : Section;
}

bool BelowMaximum(const THistoryItems* History, int Index) {
  return History->MaxCount() <= 0 || Index < History->MaxCount();
}

}  // namespace

// ---- Entries ----------------------------------------------------------------------------------------

std::string THistoryItem::DisplayText() const {
  std::string text = username_;
  if (!database_.empty()) text += "@" + database_;
  if (!connectAs_.empty()) text += " as " + connectAs_;
  return text;
}

THistoryItems* LogonHistory() {
  static THistoryItems history;
  return &history;
}

void AddHistory(THistoryItems* History, const std::string& Username, const std::string& Password,
                bool MoveToTop, const std::string& ConnectAs, const std::string& Database) {
  assert(History);
  if (Username.empty()) return;
  std::string user = Username, password = Password, database = Database, role = ConnectAs;
  SplitLogonString("", user, password, database, role);
  if (!History->WithPassword()) password.clear();

  std::string key = UpperCase(user);
  if (!database.empty()) key += "@" + UpperCase(database);
  if (!role.empty()) key += " AS " + role;
  for (int i = History->Count() - 1; i >= 0; --i)
    if (UpperCase(History->GetItem(i)->DisplayText()) == key) History->Delete(i);

  int max = History->MaxCount();
  if (max > 0)
    while (History->Count() >= max) History->Delete(max - 1);

  auto* item = static_cast<THistoryItem*>(History->Add());
  item->SetUsername(user);
  item->SetPassword(password);
  item->SetDatabase(database);
  item->SetConnectAs(role);
  if (MoveToTop) item->SetIndex(0);
}

// ---- The stored form --------------------------------------------------------------------------------

std::string HistoryEntryText(const THistoryItem* Item) {
  std::string text = Item->Username() + "/" + Item->Password() + "@" + Item->Database();
  if (!Item->ConnectAs().empty()) text += " as " + Item->ConnectAs();
  return text;
}

std::string ScrambleHistoryText(const std::string& Text, int K) {
  assert(K >= kScrambleKeyMin && K < kScrambleKeyMin + kScrambleKeyRange);
  assert(Text.size() <= HistoryEntryMaxBytes);
  std::string out = std::to_string(K);
  for (size_t i = 0; i < Text.size(); ++i) {
    int c = static_cast<unsigned char>(Text[i]);
    int position = static_cast<int>(i) + 1;
    int group = ((position * 10 + K) ^ (c * 16)) + kGroupOffset;
    assert(group >= 1000 && group <= 9999);
    out += std::to_string(group);
  }
  return out;
}

std::optional<std::string> UnscrambleHistoryText(const std::string& Scrambled) {
  if (Scrambled.empty() || Scrambled.size() % kGroupDigits != 0) return std::nullopt;
  for (char c : Scrambled)
    if (c < '0' || c > '9') return std::nullopt;
  auto groupAt = [&Scrambled](size_t start) { return std::stoi(Scrambled.substr(start, kGroupDigits)); };
  int k = groupAt(0);
  if (k < kScrambleKeyMin || k >= kScrambleKeyMin + kScrambleKeyRange) return std::nullopt;
  std::string text;
  text.reserve(Scrambled.size() / kGroupDigits);
  for (size_t start = kGroupDigits, position = 1; start < Scrambled.size();
       start += kGroupDigits, ++position) {
    int mixed = (groupAt(start) - kGroupOffset) ^ (static_cast<int>(position) * 10 + k);
    if (mixed < 0) return std::nullopt;
    int c = mixed / 16;
    if (c < 1 || c > 255) return std::nullopt;
    text += static_cast<char>(c);
  }
  return text;
}

void SetHistoryScrambleSeed(std::optional<uint32_t> Seed) {
  std::lock_guard guard(scrambleLock);
  fixedSeed = Seed;
}

// ---- Registry ---------------------------------------------------------------------------------------

void LoadHistoryReg(THistoryItems* History, const std::string& Section) {
  try {
    TRegistry registry;
    registry.SetRootKey(HKEY_CURRENT_USER);
    if (!registry.OpenKeyReadOnly(RegistryPath(Section))) return;
    for (int i = 0; BelowMaximum(History, i); ++i) {
      std::string name = kRegValuePrefix + std::to_string(i);
      TRegDataInfo info;
      if (!registry.GetDataInfo(name, info)) break;
      // A value that is not a stored entry is passed over; the ones after it still count.
      if (info.RegData != rdString && info.RegData != rdExpandString) continue;
      AddStored(History, registry.ReadString(name));
    }
  } catch (const std::exception&) {
    // A damaged or unreadable store: what was read stays.
  }
}

bool SaveHistoryReg(THistoryItems* History, const std::string& Section) {
  SeedForSave();
  try {
    TRegistryUpdate update(HKEY_CURRENT_USER);  // the whole history in one save
    TRegistry registry;
    registry.SetRootKey(HKEY_CURRENT_USER);
    if (!registry.OpenKey(RegistryPath(Section), true)) return false;
    // Every stored entry goes, also those beyond a gap: none may come back with an old password.
    std::vector<std::string> names;
    registry.GetValueNames(names);
    for (const auto& name : names)
      if (IsLogonValueName(name) && !registry.DeleteValue(name)) return false;
    int index = 0;
    for (int i = 0; i < History->Count(); ++i) {
      auto stored = StoredText(History->GetItem(i));
      if (!stored) continue;
      registry.WriteString(kRegValuePrefix + std::to_string(index++), *stored);
    }
    update.End();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// ---- INI file ---------------------------------------------------------------------------------------

std::string HistoryIniFileName(const std::string& FileName) {
  if (FileName.empty() || FileName.find(PathDelim) != std::string::npos) return FileName;
  return IncludeTrailingPathDelimiter(talvik::registry::UserConfigDir()) + FileName;
}

void LoadHistoryIni(THistoryItems* History, const std::string& FileName) {
  try {
    TIniFile ini(HistoryIniFileName(FileName));
    for (int i = 0; BelowMaximum(History, i); ++i) {
      std::string stored = ini.ReadString(kIniSection, std::to_string(i), "");
      if (stored.empty()) break;
      AddStored(History, stored);
    }
  } catch (const std::exception&) {
    // An unreadable file: what was read stays.
  }
}

bool SaveHistoryIni(THistoryItems* History, const std::string& FileName) {
  SeedForSave();
  try {
    TIniFile ini(HistoryIniFileName(FileName), kHistoryFileMode, TFileModeRule::Always);
    ini.EraseSection(kIniSection);
    int index = 0;
    for (int i = 0; i < History->Count(); ++i) {
      auto stored = StoredText(History->GetItem(i));
      if (!stored) continue;
      ini.WriteString(kIniSection, std::to_string(index++), *stored);
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}
