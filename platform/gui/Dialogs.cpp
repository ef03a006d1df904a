// Message dialogs built from our own controls, the window manager's MessageBox on top of them, and
// the file dialogs over the toolkit's (non-native) one while our loop keeps pumping.
#include "platform/gui/Dialogs.h"

#include <algorithm>
#include <array>
#include <filesystem>

#include "platform/gui/GuiPrivate.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

namespace {

talvik::gui::MessageBoxHandler& BoxHandler() {
  static talvik::gui::MessageBoxHandler handler;
  return handler;
}

struct ButtonInfo {
  const char* caption;
  TModalResult result;
};
// In the order the buttons stand, left to right.
constexpr std::array<ButtonInfo, 11> kButtons{{{"&Yes", mrYes},
                                               {"&No", mrNo},
                                               {"OK", mrOk},
                                               {"Cancel", mrCancel},
                                               {"&Abort", mrAbort},
                                               {"&Retry", mrRetry},
                                               {"&Ignore", mrIgnore},
                                               {"&All", mrAll},
                                               {"N&o to All", mrNoToAll},
                                               {"Yes to &All", mrYesToAll},
                                               {"&Help", mrNone}}};
constexpr std::array<const char*, 4> kCaptions{{"Warning", "Error", "Information", "Confirm"}};

constexpr int kMargin = 10;
constexpr int kIconSize = 32;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kButtonSpacing = 8;
constexpr int kMaxTextWidth = 420;

std::string ApplicationTitle() {
  if (Application && !Application->Title().empty()) return Application->Title();
  return "Talvik";
}

// The dialog: an icon painted in the classic colours, the text, and the buttons.
class TMessageForm : public TForm {
 public:
  TMessageForm(TMsgDlgType type) : TForm(nullptr), type_(type) {}

 protected:
  void Paint() override {
    TForm::Paint();
    if (type_ == mtCustom) return;
    TCanvas* c = Canvas();
    int x = kMargin, y = kMargin;
    c->Pen()->SetColor(clBlack);
    switch (type_) {
      case mtWarning:
        c->Brush()->SetColor(clYellow);
        c->Polygon({{x + kIconSize / 2, y}, {x + kIconSize - 1, y + kIconSize - 2}, {x, y + kIconSize - 2}});
        break;
      case mtError:
        c->Brush()->SetColor(clRed);
        c->Ellipse(x, y, x + kIconSize, y + kIconSize);
        break;
      default:
        c->Brush()->SetColor(clWhite);
        c->Ellipse(x, y, x + kIconSize, y + kIconSize);
        break;
    }
    static constexpr const char* kMarks[] = {"!", "X", "i", "?"};
    static constexpr TColor kMarkColours[] = {clBlack, clWhite, clBlue, clBlue};
    c->Font()->SetName("Arial");
    c->Font()->SetHeight(-20);
    c->Font()->SetStyle(TFontStyles{fsBold});
    c->Font()->SetColor(kMarkColours[type_]);
    c->Brush()->SetStyle(bsClear);
    TRect r = Rect(x, y + (type_ == mtWarning ? 4 : 0), x + kIconSize, y + kIconSize);
    std::string mark = kMarks[type_];
    c->TextRect(r, x + (kIconSize - c->TextWidth(mark)) / 2, r.Top + (r.Height() - c->TextHeight(mark)) / 2,
                mark);
    c->Brush()->SetStyle(bsSolid);
  }
  void Dispatch(TMessage& m) override {
    // Ctrl+C puts the dialog's caption, text and buttons on the clipboard in a real system; here the
    // keys go to the buttons as in any form
    TForm::Dispatch(m);
  }

 private:
  TMsgDlgType type_;
};

TMsgDlgBtn DefaultButton(TMsgDlgButtons buttons) {
  if (buttons.Contains(mbOK)) return mbOK;
  if (buttons.Contains(mbYes)) return mbYes;
  return mbRetry;
}

TMsgDlgBtn CancelButton(TMsgDlgButtons buttons) {
  if (buttons.Contains(mbCancel)) return mbCancel;
  if (buttons.Contains(mbNo)) return mbNo;
  return mbOK;
}

TForm* BuildDialog(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons,
                   const std::string& caption, int defaultIndex) {
  if (!Application) CreateApplication();
  if (buttons.Empty()) buttons = TMsgDlgButtons{mbOK};
  auto* form = new TMessageForm(type);
  form->SetBorderStyle(bsDialog);
  form->SetBorderIcons(TBorderIcons{biSystemMenu});
  form->SetPosition(poScreenCenter);
  form->SetCaption(caption);
  form->Font()->Assign(Screen->IconFont());
  // the text, wrapped at a readable width
  auto* label = new TLabel(form);
  label->SetName("Message");
  label->SetParent(form);
  label->SetShowAccelChar(false);
  label->SetWordWrap(true);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, form->Font()->Handle());
  RECT calc = Rect(0, 0, kMaxTextWidth, 0);
  DrawText(dc, msg.empty() ? " " : msg, calc, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(dc, old);
  DeleteDC(dc);
  int textLeft = type == mtCustom ? kMargin : kMargin + kIconSize + kMargin;
  int iconHeight = type == mtCustom ? 0 : kIconSize;
  label->SetBounds(textLeft, kMargin + std::max(0, (iconHeight - calc.Height()) / 2), calc.Width() + 1,
                   calc.Height());
  label->SetCaption(msg);
  // the buttons, centred under it
  std::vector<TMsgDlgBtn> shown;
  for (int b = mbYes; b <= mbHelp; ++b)
    if (buttons.Contains(static_cast<TMsgDlgBtn>(b))) shown.push_back(static_cast<TMsgDlgBtn>(b));
  int buttonsWidth = static_cast<int>(shown.size()) * (kButtonWidth + kButtonSpacing) - kButtonSpacing;
  int clientWidth = std::max(textLeft + calc.Width() + kMargin, buttonsWidth + 2 * kMargin);
  int buttonsTop = kMargin + std::max(iconHeight, static_cast<int>(calc.Height())) + kMargin + 4;
  form->SetClientWidth(clientWidth);
  form->SetClientHeight(buttonsTop + kButtonHeight + kMargin);
  TMsgDlgBtn defaultButton = DefaultButton(buttons), cancelButton = CancelButton(buttons);
  if (defaultIndex >= 0 && defaultIndex < static_cast<int>(shown.size())) defaultButton = shown[defaultIndex];
  int x = (clientWidth - buttonsWidth) / 2;
  for (TMsgDlgBtn b : shown) {
    auto* button = new TButton(form);
    button->SetParent(form);
    button->SetBounds(x, buttonsTop, kButtonWidth, kButtonHeight);
    button->SetCaption(kButtons[b].caption);
    button->SetModalResult(kButtons[b].result);
    button->SetDefault(b == defaultButton);
    button->SetCancel(b == cancelButton);
    if (b == defaultButton) form->SetActiveControl(button);
    x += kButtonWidth + kButtonSpacing;
  }
  return form;
}

// The MB_ flags nearest to a set of buttons and a dialog type, for a message-box handler.
UINT BoxFlags(TMsgDlgType type, TMsgDlgButtons buttons) {
  UINT flags = MB_OK;
  if (buttons.Contains(mbYes) && buttons.Contains(mbCancel))
    flags = MB_YESNOCANCEL;
  else if (buttons.Contains(mbYes))
    flags = MB_YESNO;
  else if (buttons.Contains(mbAbort))
    flags = MB_ABORTRETRYIGNORE;
  else if (buttons.Contains(mbRetry))
    flags = MB_RETRYCANCEL;
  else if (buttons.Contains(mbCancel))
    flags = MB_OKCANCEL;
  static constexpr UINT kIcons[] = {MB_ICONWARNING, MB_ICONERROR, MB_ICONINFORMATION, MB_ICONQUESTION, 0};
  return flags | kIcons[type];
}

bool HasHandler() {
  // a probe through the window manager's MessageBox tells whether a test handler answers
  return static_cast<bool>(BoxHandler());
}

}  // namespace

TForm* CreateMessageDialog(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons) {
  std::string caption = DlgType == mtCustom ? ApplicationTitle() : kCaptions[DlgType];
  return BuildDialog(Msg, DlgType, Buttons, caption, -1);
}

int MessageDlgPos(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int, int X, int Y) {
  if (HasHandler())
    return MessageBox(GetActiveWindow(), Msg, DlgType == mtCustom ? ApplicationTitle() : kCaptions[DlgType],
                      BoxFlags(DlgType, Buttons));
  std::unique_ptr<TForm> form(CreateMessageDialog(Msg, DlgType, Buttons));
  if (X >= 0 && Y >= 0) {
    form->SetPosition(poDesigned);
    form->SetLeft(X);
    form->SetTop(Y);
  }
  return form->ShowModal();
}

int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx) {
  return MessageDlgPos(Msg, DlgType, Buttons, HelpCtx, -1, -1);
}

void ShowMessage(const std::string& Msg) {
  MessageDlgPos(Msg, mtCustom, TMsgDlgButtons{mbOK}, 0, -1, -1);
}

namespace {

// The message box as our own dialog form.
int RunMessageForm(const std::string& text, const std::string& caption, UINT type) {
  static const TMsgDlgButtons kSets[] = {{mbOK},        {mbOK, mbCancel}, mbAbortRetryIgnore,
                                         mbYesNoCancel, {mbYes, mbNo},    {mbRetry, mbCancel}};
  UINT kind = type & 0xF;
  TMsgDlgButtons buttons = kind < 6 ? kSets[kind] : TMsgDlgButtons{mbOK};
  TMsgDlgType dlgType = mtCustom;
  switch (type & 0xF0) {
    case MB_ICONERROR:
      dlgType = mtError;
      break;
    case MB_ICONQUESTION:
      dlgType = mtConfirmation;
      break;
    case MB_ICONWARNING:
      dlgType = mtWarning;
      break;
    case MB_ICONINFORMATION:
      dlgType = mtInformation;
      break;
    default:
      break;
  }
  int defaultIndex = (type & MB_DEFBUTTON2) ? 1 : -1;
  std::unique_ptr<TForm> form(BuildDialog(text, dlgType, buttons, caption, defaultIndex));
  return form->ShowModal();
}

}  // namespace

void talvik::gui::SetMessageBoxHandler(MessageBoxHandler handler) {
  BoxHandler() = std::move(handler);
}

int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  if (!BoxHandler()) return RunMessageForm(text, caption, type);  // a modal form
  // a handler answering for the box (a test's) stands for it: the box stands until the answer comes
  const TModalLoopStanding standing;
  return BoxHandler()(owner, text, caption, type);
}

// ---------------------------------------------------------------- file dialogs

namespace {

talvik::gui::FileDialogHandler& FileHandler() {
  static talvik::gui::FileDialogHandler handler;
  return handler;
}

}  // namespace

void talvik::gui::SetFileDialogHandler(FileDialogHandler Handler) {
  FileHandler() = std::move(Handler);
}

TOpenDialog::TOpenDialog(TComponent* AOwner) : TComponent(AOwner), files_(std::make_unique<TStringList>()) {}

TOpenDialog::~TOpenDialog() = default;

void TOpenDialog::SetDefaultExt(const std::string& Value) {
  std::size_t start = Value.find_first_not_of("*.");
  defaultExt_ = start == std::string::npos ? std::string() : Value.substr(start);
}

std::string TOpenDialog::WithDefaultExt(const std::string& Name) const {
  if (Name.empty() || defaultExt_.empty()) return Name;
  std::filesystem::path p(Name);
  if (p.has_extension() || Name.back() == '/') return Name;
  return Name + "." + defaultExt_;
}

bool TOpenDialog::Execute() {
  InvokeEvent(OnShow, this);
  const TModalLoopStanding standing;
  bool chosen = false;
  if (FileHandler()) {
    chosen = FileHandler()(*this);
  } else {
    talvik::gui::detail::FileDialogRequest request;
    request.title = title_;
    request.initialDir = initialDir_;
    request.fileName = fileName_;
    request.defaultExt = defaultExt_;
    request.filter = filter_;
    request.filterIndex = filterIndex_;
    request.save = Save();
    request.multiSelect = options_.Contains(ofAllowMultiSelect);
    request.mustExist = options_.Contains(ofFileMustExist);
    request.overwritePrompt = options_.Contains(ofOverwritePrompt);
    const TComponentRef<TOpenDialog> alive(this);
    // our windows wait while the dialog is up; our loop keeps running their timers and paints
    std::vector<HWND> disabled;
    for (HWND h : GetTopLevelWindows())
      if (IsWindowVisible(h) && IsWindowEnabled(h)) {
        EnableWindow(h, false);
        disabled.push_back(h);
      }
    TScopeExit enable([&] {
      for (HWND h : disabled)
        if (IsWindow(h)) EnableWindow(h, true);
    });
    const auto answer = talvik::gui::detail::RunToolkitFileDialog(
        request,
        [] {
          if (Application)
            Application->HandleMessage();
          else
            talvik::gui::ProcessPending();
        },
        [] { return Application && Application->Terminated(); });
    // the loop ran the program meanwhile: whoever owns this dialog may have freed it
    if (!alive) return false;
    chosen = answer.chosen && !answer.files.empty();
    if (chosen) {
      files_->Clear();
      for (const std::string& f : answer.files) files_->Add(f);
      fileName_ = files_->Strings(0);
      filterIndex_ = answer.filterIndex;
    }
  }
  if (chosen) {
    fileName_ = WithDefaultExt(fileName_);
    if (files_->Count() == 0) files_->Add(fileName_);
  }
  InvokeEvent(OnClose, this);
  return chosen;
}
