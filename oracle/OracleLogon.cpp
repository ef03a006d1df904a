// The logon dialog: the form, the logon loop with its retries and password changes, and the
// component that runs it between loading and saving the history.
#include "oracle/OracleLogon.h"

#include <cassert>

#include "oracle/Oracle.h"
#include "oracle/OracleCI.h"
#include "oracle/OracleVisual.h"
#include "platform/rtl/Lifetime.h"

std::string LogonCaption = "Oracle Logon";
std::string LogonConfirmCaption = "Confirm";
std::string LogonUsernameLabel = "Username";
std::string LogonPasswordLabel = "Password";
std::string LogonDatabaseLabel = "Database";
std::string LogonConnectAsLabel = "Connect as";
std::string LogonNewPasswordLabel = "New password";
std::string LogonVerifyLabel = "Verification";
std::string LogonVerifyFailed = "Verification failed";
std::string LogonChangeQuestion = "Do you wish to change your password now?";
std::string LogonExpiredCaption = "Your password has expired";
std::string LogonOKCaption = "OK";
std::string LogonCancelCaption = "Cancel";
std::string LogonHistoryHint = "Logon history";

namespace {

// The layout, in pixels: rows of a label column and an edit column inside the edit panel.
constexpr int kMargin = 8;
constexpr int kRowHeight = 28;
constexpr int kLabelTop = 4;
constexpr int kEditLeft = 88;
constexpr int kEditWidth = 140;
constexpr int kEditHeight = 21;
constexpr int kHistoryButtonSize = 21;
constexpr int kPanelWidth = kEditLeft + kEditWidth + 2 + kHistoryButtonSize + 1;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kBottomHeight = kButtonHeight + 2 * kMargin;
constexpr int kPasswordChar = '*';
// The session tells this server error for an expired password.
constexpr int kPasswordExpired = 28001;

template <typename T>
T* Make(TComponent* Owner, TWinControl* Parent, const char* Name, int X, int Y, int W, int H) {
  auto* control = new T(Owner);
  control->SetName(Name);
  control->SetParent(Parent);
  control->SetBounds(X, Y, W, H);
  return control;
}

TPanel* MakePanel(TComponent* Owner, TWinControl* Parent, const char* Name, int X, int Y, int W, int H) {
  auto* panel = Make<TPanel>(Owner, Parent, Name, X, Y, W, H);
  panel->SetBevelOuter(bvNone);
  panel->SetCaption("");
  return panel;
}

TLabel* MakeLabel(TComponent* Owner, TWinControl* Parent, const char* Name, int Y, TWinControl* Focus) {
  auto* label = Make<TLabel>(Owner, Parent, Name, 0, Y + kLabelTop, kEditLeft - 4, 13);
  label->SetFocusControl(Focus);
  return label;
}

// A small arrow pointing down: the history button's glyph.
void DrawHistoryGlyph(TBitmap* Glyph) {
  Glyph->SetSize(9, 9);
  TCanvas* canvas = Glyph->Canvas();
  canvas->Brush()->SetColor(clOlive);  // the corner colour is the transparent one
  canvas->FillRect(Rect(0, 0, 9, 9));
  canvas->Brush()->SetColor(clBlack);
  canvas->Pen()->SetColor(clBlack);
  canvas->Polygon({Point(1, 3), Point(7, 3), Point(4, 6)});
}

bool CtrlDown() {
  return GetKeyState(VK_CONTROL) < 0;
}

}  // namespace

// ---- The form ---------------------------------------------------------------------------------------

TLogOnForm::TLogOnForm(TComponent* AOwner) : TForm(AOwner) {
  SetCaption(LogonCaption);
  SetBorderStyle(bsDialog);
  SetFormStyle(fsStayOnTop);
  SetPosition(poScreenCenter);
  SetKeyPreview(true);
  int rowsHeight = 4 * kRowHeight;
  SetClientWidth(kMargin + kPanelWidth + kMargin);
  SetClientHeight(kMargin + rowsHeight + kBottomHeight);

  BottomPanel = MakePanel(this, this, "BottomPanel", 0, 0, ClientWidth(), kBottomHeight);
  BottomPanel->SetAlign(alBottom);
  int cancelLeft = ClientWidth() - kMargin - kButtonWidth;
  OKBtn = Make<TButton>(this, BottomPanel, "OKBtn", cancelLeft - kMargin - kButtonWidth, kMargin,
                        kButtonWidth, kButtonHeight);
  OKBtn->SetCaption(LogonOKCaption);
  OKBtn->SetDefault(true);
  OKBtn->SetModalResult(mrOk);
  CancelBtn = Make<TButton>(this, BottomPanel, "CancelBtn", cancelLeft, kMargin, kButtonWidth, kButtonHeight);
  CancelBtn->SetCaption(LogonCancelCaption);
  CancelBtn->SetCancel(true);
  CancelBtn->SetModalResult(mrCancel);

  LogonImage = Make<TImage>(this, this, "LogonImage", 0, 0, 0, 0);
  LogonImage->SetAlign(alLeft);
  LogonImage->SetCenter(true);
  LogonImage->SetVisible(false);

  EditPanel = MakePanel(this, this, "EditPanel", kMargin, kMargin, kPanelWidth, rowsHeight);
  UsernameEdit = Make<TEdit>(this, EditPanel, "UsernameEdit", kEditLeft, 0, kEditWidth, kEditHeight);
  Label1 = MakeLabel(this, EditPanel, "Label1", 0, UsernameEdit);
  Label1->SetCaption(LogonUsernameLabel);
  HistoryBtn = Make<TSpeedButton>(this, EditPanel, "HistoryBtn", kEditLeft + kEditWidth + 2, 0,
                                  kHistoryButtonSize, kHistoryButtonSize);
  DrawHistoryGlyph(HistoryBtn->Glyph());
  HistoryBtn->SetHint(LogonHistoryHint);
  HistoryBtn->SetShowHint(true);
  HistoryBtn->SetVisible(false);
  HistoryBtn->OnClick = [this](TObject* Sender) { HistoryBtnClick(Sender); };

  PasswordEdit = Make<TEdit>(this, EditPanel, "PasswordEdit", kEditLeft, kRowHeight, kEditWidth, kEditHeight);
  PasswordEdit->SetPasswordChar(kPasswordChar);
  Label2 = MakeLabel(this, EditPanel, "Label2", kRowHeight, PasswordEdit);
  Label2->SetCaption(LogonPasswordLabel);

  DBPanel = MakePanel(this, EditPanel, "DBPanel", 0, 2 * kRowHeight, kPanelWidth, kRowHeight);
  DatabaseEdit = Make<TEdit>(this, DBPanel, "DatabaseEdit", kEditLeft, 0, kEditWidth, kEditHeight);
  AliasList = Make<TComboBox>(this, DBPanel, "AliasList", kEditLeft, 0, kEditWidth, kEditHeight);
  AliasList->SetVisible(false);
  Label3 = MakeLabel(this, DBPanel, "Label3", 0, DatabaseEdit);
  Label3->SetCaption(LogonDatabaseLabel);

  CAPanel = MakePanel(this, EditPanel, "CAPanel", 0, 3 * kRowHeight, kPanelWidth, kRowHeight);
  ConnectAsList = Make<TComboBox>(this, CAPanel, "ConnectAsList", kEditLeft, 0, kEditWidth, kEditHeight);
  ConnectAsList->SetStyle(csDropDownList);
  for (const char* role : {"Normal", "SYSDBA", "SYSOPER"}) ConnectAsList->Items()->Add(role);
  ConnectAsList->SetItemIndex(0);
  Label4 = MakeLabel(this, CAPanel, "Label4", 0, ConnectAsList);
  Label4->SetCaption(LogonConnectAsLabel);

  UsernameEdit->SetTabOrder(0);
  PasswordEdit->SetTabOrder(1);
  DBPanel->SetTabOrder(2);
  CAPanel->SetTabOrder(3);

  HistoryPopup = new TPopupMenu(this);
  HistoryPopup->SetName("HistoryPopup");
  History = new TMenuItem(this);
  History->SetName("History");
  History->SetCaption("History");
  HistoryPopup->Items()->Add(History);

  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnKeyDown = [this](TObject* Sender, WORD& Key, TShiftState Shift) { FormKeyDown(Sender, Key, Shift); };
}

void TLogOnForm::ShowPicture(TPicture* Picture) {
  if (!Picture || Picture->Width() <= 0) return;
  int margin = EditPanel->Left();  // the margin the layout is built on
  int shift = Picture->Width() + 3 * margin;
  LogonImage->Picture()->Assign(Picture);
  LogonImage->SetWidth(Picture->Width() + 4 * margin);
  LogonImage->SetVisible(true);
  SetClientWidth(ClientWidth() + shift);
  EditPanel->SetLeft(EditPanel->Left() + shift);
  OKBtn->SetLeft(OKBtn->Left() + shift);
  CancelBtn->SetLeft(OKBtn->Left() + OKBtn->Width() + margin);
}

void TLogOnForm::HideRow(TPanel* Row) {
  if (!Row->Visible()) return;
  int height = Row->Height();
  Row->SetVisible(false);
  for (TPanel* below : {DBPanel, CAPanel})
    if (below->Top() > Row->Top()) below->SetTop(below->Top() - height);
  EditPanel->SetHeight(EditPanel->Height() - height);
  SetClientHeight(ClientHeight() - height);
}

std::string TLogOnForm::DatabaseText() const {
  return AliasList->Visible() ? AliasList->Text() : DatabaseEdit->Text();
}

void TLogOnForm::SetDatabaseText(const std::string& Value) {
  if (AliasList->Visible())
    AliasList->SetText(Value);
  else
    DatabaseEdit->SetText(Value);
}

void TLogOnForm::FormShow(TObject* /*Sender*/) {
  if (UsernameEdit->Enabled() && UsernameEdit->Text().empty())
    SetActiveControl(UsernameEdit);
  else
    SetActiveControl(PasswordEdit);
}

void TLogOnForm::FormKeyDown(TObject* /*Sender*/, WORD& Key, TShiftState Shift) {
  if (Key == VK_RETURN && Shift.Contains(ssCtrl)) {
    Key = 0;
    SetModalResult(mrOk);
  }
}

void TLogOnForm::HistoryBtnClick(TObject* /*Sender*/) {
  HistoryPopup->Items()->Clear();
  History = nullptr;  // the design-time item went with the others
  THistoryItems* history = LogonHistory();
  for (int i = 0; i < history->Count(); ++i) {
    std::string caption = history->GetItem(i)->DisplayText();
    if (caption == "-") continue;  // it would be a separator line
    auto* item = new TMenuItem(this);
    item->SetCaption(caption);
    item->SetTag(i);
    item->OnClick = [this](TObject* Sender) { HistoryItemClick(Sender); };
    HistoryPopup->Items()->Add(item);
  }
  TPoint below = HistoryBtn->ClientToScreen(Point(0, HistoryBtn->Height()));
  HistoryPopup->Popup(below.X, below.Y);
}

void TLogOnForm::HistoryItemClick(TObject* Sender) {
  auto* menuItem = dynamic_cast<TMenuItem*>(Sender);
  THistoryItems* history = LogonHistory();
  if (!menuItem || menuItem->Tag() < 0 || menuItem->Tag() >= history->Count()) return;
  const THistoryItem* entry = history->GetItem(static_cast<int>(menuItem->Tag()));
  UsernameEdit->SetText(entry->Username());
  PasswordEdit->SetText(history->WithPassword() ? entry->Password() : "");
  SetDatabaseText(entry->Database());
  ConnectAsList->SetItemIndex(StringToConnectAs(entry->ConnectAs()));
  if (!UsernameEdit->Text().empty() && !PasswordEdit->Text().empty() && !CtrlDown()) SetModalResult(mrOk);
}

// ---- The dialogs ------------------------------------------------------------------------------------

namespace {

std::unique_ptr<TLogOnForm> MakeLogOnForm(TPicture* Picture) {
  CreateApplication();
  auto form = std::make_unique<TLogOnForm>(Application);
  form->ShowPicture(Picture);
  return form;
}

void FillFromSession(TLogOnForm* Form, TOracleSession* Session) {
  Form->UsernameEdit->SetText(Session->LogonUsername());
  Form->PasswordEdit->SetText(Session->LogonPassword());
  Form->SetDatabaseText(Session->LogonDatabase());
  Form->ConnectAsList->SetItemIndex(Session->ConnectAs());
}

}  // namespace

bool ChangePasswordDialog(TOracleSession* Session, const std::string& Caption, TPicture* Picture) {
  if (!Session) throw Exception("Session undefined");
  // The dialog's message loop may see the session go.
  TComponentRef<TOracleSession> session(Session);
  auto form = MakeLogOnForm(Picture);
  form->SetCaption(Caption);
  form->Label1->SetCaption(LogonNewPasswordLabel);
  form->Label2->SetCaption(LogonVerifyLabel);
  form->UsernameEdit->SetPasswordChar(kPasswordChar);
  form->UsernameEdit->SetText("");
  form->PasswordEdit->SetText("");
  form->HideRow(form->DBPanel);
  form->HideRow(form->CAPanel);
  for (;;) {
    if (form->ShowModal() != mrOk || !session) return false;
    // The server ignores the case of passwords: so does the check.
    if (AnsiUpperCase(form->UsernameEdit->Text()) == AnsiUpperCase(form->PasswordEdit->Text())) break;
    OracleShowMessage(LogonVerifyFailed);
  }
  session->ChangePassword(form->PasswordEdit->Text());
  if (!session->Connected()) session->LogOn();
  return true;
}

bool LogonDialog(TOracleSession* Session, int Retries, int AliasDropDownCount, TPicture* Picture,
                 TLogonOptions& Options) {
  if (!Session) throw Exception("Session undefined");
  // The dialog's message loops may see the session go: the dialog then ends.
  TComponentRef<TOracleSession> session(Session);
  auto form = MakeLogOnForm(Picture);

  bool useList = Options.Contains(ldDatabaseList);
  if (useList) {
    form->AliasList->SetBoundsRect(form->DatabaseEdit->BoundsRect());
    form->AliasList->SetVisible(true);
    form->DatabaseEdit->SetVisible(false);
    form->Label3->SetFocusControl(form->AliasList);
    form->AliasList->SetDropDownCount(AliasDropDownCount);
    form->AliasList->Items()->Assign(GetAliases());  // loads the client library
  }
  FillFromSession(form.get(), Session);

  bool history = Options.Contains(ldLogonHistory);
  form->HistoryBtn->SetVisible(history);
  form->HistoryBtn->SetEnabled(history && LogonHistory()->Count() > 0);
  if (!Options.Contains(ldDatabase)) form->HideRow(form->DBPanel);
  if (!Options.Contains(ldConnectAs) || !OCIGroupPresent(ogHandleAPI) || Session->Preferences()->UseOCI7() ||
      ForceOCI7)
    form->HideRow(form->CAPanel);
  if (Options.Contains(ldPasswordOnly)) {
    form->HistoryBtn->SetEnabled(false);
    bool noUser = form->UsernameEdit->Text().empty();
    form->UsernameEdit->SetEnabled(noUser);
    form->Label1->SetEnabled(noUser);
    for (TControl* control : std::initializer_list<TControl*>{
             form->DatabaseEdit, form->AliasList, form->Label3, form->ConnectAsList, form->Label4})
      control->SetEnabled(false);
  }

  bool result = false;
  TModalResult answer = mrNone;
  for (int attempts = 0;;) {
    bool ctrl = false;
    bool automatic = false;
    if (attempts == 0 && Options.Contains(ldAuto)) {
      Options.Exclude(ldAuto);
      std::string userId = GetParamValue("UserId");
      if (!userId.empty()) {
        form->UsernameEdit->SetText(userId);
        form->PasswordEdit->SetText("");
        form->SetDatabaseText("");
        automatic = true;
      } else {
        automatic = !Session->LogonUsername().empty() && !Session->LogonPassword().empty();
      }
    }
    if (automatic) {
      answer = mrOk;
    } else {
      answer = form->ShowModal();
      if (answer == mrOk) ctrl = CtrlDown();
    }
    ++attempts;
    if (answer != mrOk || !session) break;
    result = true;

    Session->SetLogonUsername(form->UsernameEdit->Text());
    Session->SetLogonPassword(form->PasswordEdit->Text());
    Session->SetLogonDatabase(form->DatabaseText());
    Session->SetConnectAs(Options.Contains(ldConnectAs) && form->ConnectAsList->ItemIndex() > 0
                              ? static_cast<TConnectAsOption>(form->ConnectAsList->ItemIndex())
                              : caNormal);
    try {
      if (Session->ODBCMode() && useList) {
        Session->LogOff();
        FreeClientLibrary();
      }
      Session->LogOn();
      if (!Session->LogonWarning().empty() &&
          ShowMessageDialog(Session->LogonWarning() + "\r\n" + LogonChangeQuestion, "YN") ==
              oracle_ui::mrYes &&
          session)
        ChangePasswordDialog(Session, LogonExpiredCaption, Picture);
      if (!session) break;
      if (history && !ctrl)
        AddHistory(LogonHistory(), Session->LogonUsername(), Session->LogonPassword(), true,
                   ConnectAsToString(Session->ConnectAs()), Session->LogonDatabase());
    } catch (const EOracleError& e) {
      if (e.ErrorCode() == kPasswordExpired && Session->HandleMode() && !Session->Connected()) {
        try {
          ChangePasswordDialog(Session, LogonExpiredCaption, Picture);
        } catch (const EOracleError& changeError) {
          OracleShowMessage(changeError.Message());
        }
      } else {
        OracleShowMessage(e.Message());
      }
    }
    if (!session) break;
    FillFromSession(form.get(), Session);
    if (Session->Connected() || attempts > Retries) break;
  }
  return result;
}

// ---- The component ----------------------------------------------------------------------------------

TOracleLogon::TOracleLogon(TComponent* AOwner) : TComponent(AOwner), picture_(std::make_unique<TPicture>()) {}

TOracleLogon::~TOracleLogon() {
  SetSession(nullptr);
}

void TOracleLogon::SetSession(TOracleSession* Value) {
  if (Value == session_) return;
  if (session_) session_->RemoveFreeNotification(this);
  session_ = Value;
  if (session_) session_->FreeNotification(this);
}

void TOracleLogon::SetPicture(TPicture* Value) {
  picture_->Assign(Value);
}

void TOracleLogon::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == session_) session_ = nullptr;
}

bool TOracleLogon::Execute() {
  if (!session_) return false;
  THistoryItems* history = LogonHistory();
  bool withHistory = options_.Contains(ldLogonHistory);
  if (withHistory) {
    history->SetMaxCount(historySize_);
    history->SetWithPassword(historyWithPassword_);
    if (!historyRegSection_.empty()) {
      history->Clear();
      LoadHistoryReg(history, historyRegSection_);
    } else if (!historyIniFile_.empty()) {
      history->Clear();
      LoadHistoryIni(history, historyIniFile_);
    }
  }
  if (!caption_.empty()) LogonCaption = caption_;
  bool result = LogonDialog(session_, retries_, aliasDropDownCount_, picture_.get(), options_);
  if (withHistory) {
    // A history that cannot be written is not worth failing a logon for.
    if (!historyRegSection_.empty())
      SaveHistoryReg(history, historyRegSection_);
    else if (!historyIniFile_.empty())
      SaveHistoryIni(history, historyIniFile_);
  }
  return result;
}
