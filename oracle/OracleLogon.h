// The logon dialog and the logon history: TOracleLogon asks for a user name, password, database and
// role, logs a session on with them, retries after a failure and offers a password change; the
// process-wide history of recent logons is loaded before and saved after the dialog, in the
// registry or in an INI file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/rtl/Classes.h"

// ---- The logon history ------------------------------------------------------------------------------

class THistoryItem : public TCollectionItem {
  TALVIK_CLASS(THistoryItem, TCollectionItem)
  explicit THistoryItem(TCollection* Collection) : TCollectionItem(Collection) {}

  const std::string& Username() const { return username_; }
  void SetUsername(const std::string& Value) { username_ = Value; }
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& Value) { password_ = Value; }
  const std::string& Database() const { return database_; }
  void SetDatabase(const std::string& Value) { database_ = Value; }
  // "SYSDBA", "SYSOPER" or nothing.
  const std::string& ConnectAs() const { return connectAs_; }
  void SetConnectAs(const std::string& Value) { connectAs_ = Value; }
  // "user", then "@database" and " as ROLE" when set.
  std::string DisplayText() const;

 protected:
  std::string GetDisplayName() const override { return DisplayText(); }

 private:
  std::string username_;
  std::string password_;
  std::string database_;
  std::string connectAs_;
};

class THistoryItems : public TCollection {
  TALVIK_CLASS(THistoryItems, TCollection)
  THistoryItems() : TCollection(CollectionItemClass<THistoryItem>) {}

  THistoryItem* GetItem(int N) const { return static_cast<THistoryItem*>(Items(N)); }
  // Most entries kept (0: no limit).
  int MaxCount() const { return maxCount_; }
  void SetMaxCount(int Value) { maxCount_ = Value; }
  // Passwords are kept (and stored, scrambled) only with this set.
  bool WithPassword() const { return withPassword_; }
  void SetWithPassword(bool Value) { withPassword_ = Value; }

 private:
  int maxCount_ = 6;
  bool withPassword_ = false;
};

// The history of this process (the logon dialog's, and what the application lists as recent
// connections).
THistoryItems* LogonHistory();

// Adds a logon (a whole logon text given as Username is taken apart) unless Username is empty: the
// entries for the same user, database and role go, the oldest beyond the maximum count go, and the
// new entry is appended or, with MoveToTop, put first.
void AddHistory(THistoryItems* History, const std::string& Username, const std::string& Password,
                bool MoveToTop, const std::string& ConnectAs, const std::string& Database);

// The stores. Loading appends what it reads (callers clear first); a store that cannot be read gives
// what could be read, never an exception. Saving replaces the stored entries and answers false when
// the store could not be written.
// Registry: string values "Logon0", "Logon1", ... of the key Section under HKEY_CURRENT_USER.
void LoadHistoryReg(THistoryItems* History, const std::string& Section);
bool SaveHistoryReg(THistoryItems* History, const std::string& Section);
// INI file: keys "0", "1", ... of the section "Logon". A name without a folder is a file in the
// user's settings folder.
void LoadHistoryIni(THistoryItems* History, const std::string& FileName);
bool SaveHistoryIni(THistoryItems* History, const std::string& FileName);
std::string HistoryIniFileName(const std::string& FileName);

// The stored form of one entry. Passwords kept in the history are only obfuscated: the text is K
// (2000..2999) in four digits, then per byte at 1-based position i with code c the four digits of
// ((i * 10 + K) xor (c * 16)) + 1000. Texts longer than HistoryEntryMaxBytes are never stored.
inline constexpr size_t HistoryEntryMaxBytes = 500;
std::string ScrambleHistoryText(const std::string& Text, int K);
// std::nullopt when the text is not a scrambled entry.
std::optional<std::string> UnscrambleHistoryText(const std::string& Scrambled);
// The text an entry is stored as: "user/password@database", then " as ROLE" when set.
std::string HistoryEntryText(const THistoryItem* Item);
// Each save draws K from a generator seeded from the clock; a test fixes the seed instead.
void SetHistoryScrambleSeed(std::optional<uint32_t> Seed);
