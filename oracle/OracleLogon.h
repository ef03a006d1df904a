// The logon dialog and the logon history: TOracleLogon asks for a user name, password, database and
// role, logs a session on with them, retries after a failure and offers a password change; the
// process-wide history of recent logons is loaded before and saved after the dialog, in the
// registry or in an INI file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "oracle/OracleSession.h"
#include "platform/gui/Buttons.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
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

// ---- The dialog -------------------------------------------------------------------------------------

enum TLogonOption { ldAuto, ldDatabase, ldDatabaseList, ldLogonHistory, ldConnectAs, ldPasswordOnly };
using TLogonOptions = TSet<TLogonOption>;

// The dialog's texts; the application may replace them before a dialog shows.
extern std::string LogonCaption;         // dialog title
extern std::string LogonConfirmCaption;  // title of the password question
extern std::string LogonUsernameLabel;
extern std::string LogonPasswordLabel;
extern std::string LogonDatabaseLabel;
extern std::string LogonConnectAsLabel;
extern std::string LogonNewPasswordLabel;  // password change: the first field
extern std::string LogonVerifyLabel;       // password change: the second field
extern std::string LogonVerifyFailed;
extern std::string LogonChangeQuestion;  // after a logon warning
extern std::string LogonExpiredCaption;  // title of the password change
extern std::string LogonOKCaption;
extern std::string LogonCancelCaption;
extern std::string LogonHistoryHint;

// The logon dialog window.
class TLogOnForm : public TForm {
  TALVIK_CLASS(TLogOnForm, TForm)
  explicit TLogOnForm(TComponent* AOwner);

  TImage* LogonImage;
  TPanel* EditPanel;
  TLabel* Label1;
  TEdit* UsernameEdit;
  TSpeedButton* HistoryBtn;
  TLabel* Label2;
  TEdit* PasswordEdit;
  TPanel* DBPanel;
  TLabel* Label3;
  TEdit* DatabaseEdit;
  TComboBox* AliasList;
  TPanel* CAPanel;
  TLabel* Label4;
  TComboBox* ConnectAsList;
  TPanel* BottomPanel;
  TButton* OKBtn;
  TButton* CancelBtn;
  TPopupMenu* HistoryPopup;
  TMenuItem* History;

  // Shows the picture at the left (nothing for an empty one).
  void ShowPicture(TPicture* Picture);
  // Hides a row of the panel; the rows below it, the panel and the form shrink by its height.
  void HideRow(TPanel* Row);
  // The database field in use (the alias list when it shows).
  std::string DatabaseText() const;
  void SetDatabaseText(const std::string& Value);

  void FormShow(TObject* Sender);
  void FormKeyDown(TObject* Sender, WORD& Key, TShiftState Shift);
  void HistoryBtnClick(TObject* Sender);
  void HistoryItemClick(TObject* Sender);
};

// Asks for a logon and logs Session on, retrying up to Retries times. True when the user confirmed at
// least once (or the automatic logon ran), whatever the outcome: callers read Session->Connected().
// ldAuto is taken out of Options on the first try. Raises "Session undefined" without a session.
bool LogonDialog(TOracleSession* Session, int Retries, int AliasDropDownCount, TPicture* Picture,
                 TLogonOptions& Options);
// Asks for a new password twice and changes it (logging on when not connected); false on Cancel.
bool ChangePasswordDialog(TOracleSession* Session, const std::string& Caption, TPicture* Picture);

class TOracleLogon : public TComponent {
  TALVIK_CLASS(TOracleLogon, TComponent)
  explicit TOracleLogon(TComponent* AOwner);
  ~TOracleLogon() override;

  TOracleSession* Session() const { return session_; }
  void SetSession(TOracleSession* Value);
  int Retries() const { return retries_; }
  void SetRetries(int Value) { retries_ = Value; }
  TLogonOptions Options() const { return options_; }
  void SetOptions(TLogonOptions Value) { options_ = Value; }
  int AliasDropDownCount() const { return aliasDropDownCount_; }
  void SetAliasDropDownCount(int Value) { aliasDropDownCount_ = Value; }
  const std::string& HistoryRegSection() const { return historyRegSection_; }
  void SetHistoryRegSection(const std::string& Value) { historyRegSection_ = Value; }
  const std::string& HistoryIniFile() const { return historyIniFile_; }
  void SetHistoryIniFile(const std::string& Value) { historyIniFile_ = Value; }
  int HistorySize() const { return historySize_; }
  void SetHistorySize(int Value) { historySize_ = Value; }
  bool HistoryWithPassword() const { return historyWithPassword_; }
  void SetHistoryWithPassword(bool Value) { historyWithPassword_ = Value; }
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& Value) { caption_ = Value; }
  TPicture* Picture() const { return picture_.get(); }
  void SetPicture(TPicture* Value);

  // Loads the history, runs the dialog, saves the history; the dialog's answer (false at once
  // without a session).
  bool Execute();
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  TOracleSession* session_ = nullptr;
  int retries_ = 2;
  TLogonOptions options_{ldAuto, ldDatabase};
  int aliasDropDownCount_ = 8;
  std::string historyRegSection_;
  std::string historyIniFile_;
  int historySize_ = 6;
  bool historyWithPassword_ = false;
  std::string caption_;
  std::unique_ptr<TPicture> picture_;
};
