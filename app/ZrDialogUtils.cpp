#include "app/ZrDialogUtils.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/WinVer.h"
#include "platform/rtl/Process.h"

namespace {

constexpr int kMargin = 10;       // the icon's place, and the gap between icon and labels
constexpr int kLabelGap = 5;      // between two labels
constexpr int kBelowLabels = 85;  // from the last label's bottom to the form's bottom
constexpr int kRightMargin = 20;  // right of the widest label
constexpr int kButtonFromBottom = 60;
constexpr int kBevelAboveButton = 20;
constexpr int kProductFontSize = 10;

struct AboutLine {
  const char* value;   // the version block's name
  const char* prefix;  // put before the value on the label
};

// In the order the labels stand; the product name stands alone in bold navy.
constexpr AboutLine kLines[] = {
    {"ProductName", ""},       {"FileVersion", "Версия: "}, {"CompanyName", "Компания: "},
    {"Author", "Автор: "},     {"EMail", "EMail: "},        {"Web", "Web: "},
    {"License", "Лицензия: "},
};

std::string TranslationKey(const void* block) {
  void* buffer = nullptr;
  UINT len = 0;
  if (!VerQueryValue(block, "\\VarFileInfo\\Translation", &buffer, &len) || len < 4) return {};
  std::uint16_t pair[2];
  std::memcpy(pair, buffer, sizeof pair);
  char key[9];
  std::snprintf(key, sizeof key, "%04X%04X", pair[0], pair[1]);
  return key;
}

}  // namespace

std::unique_ptr<TForm> CreateAboutBox() {
  const std::string exe = ParamStr(0);
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSize(exe, &handle);
  if (size == 0) return nullptr;
  std::vector<unsigned char> block(size);
  if (!GetFileVersionInfo(exe, handle, size, block.data())) return nullptr;
  const std::string key = TranslationKey(block.data());

  auto form = std::make_unique<TForm>(Application);
  form->SetCaption("О программе: " + Application->Title());
  form->SetPosition(poScreenCenter);
  form->SetBorderStyle(bsDialog);

  auto* image = new TImage(form.get());
  image->SetParent(form.get());
  image->SetLeft(kMargin);
  image->SetTop(kMargin);
  image->SetAutoSize(true);
  image->Picture()->SetGraphic(Application->Icon());
  const int x = image->Left() + image->Width() + kMargin;

  TControl* last = image;
  TLabel* lastLabel = nullptr;
  for (const AboutLine& line : kLines) {
    void* buffer = nullptr;
    UINT len = 0;
    const std::string path = "\\StringFileInfo\\" + key + "\\" + line.value;
    if (!VerQueryValue(block.data(), path, &buffer, &len) || len <= 1) continue;
    auto* label = new TLabel(form.get());
    label->SetParent(form.get());
    if (lastLabel == nullptr) {
      label->SetTop(last->Top());
    } else {
      label->SetTop(lastLabel->Top() + lastLabel->Height() + kLabelGap);
    }
    label->SetLeft(x);
    label->SetAutoSize(true);
    if (*line.prefix == '\0') {
      label->Font()->SetSize(kProductFontSize);
      label->Font()->SetStyle({fsBold});
      label->Font()->SetColor(clNavy);
    }
    label->SetCaption(std::string(line.prefix) + static_cast<const char*>(buffer));
    lastLabel = label;
    last = label;
  }

  if (lastLabel) form->SetHeight(lastLabel->Top() + lastLabel->Height() + kBelowLabels);
  int width = kMargin;
  for (int i = 0; i < form->ControlCount(); ++i) {
    TControl* c = form->Controls(i);
    if (dynamic_cast<TLabel*>(c) && c->Left() + c->Width() + kRightMargin > width)
      width = c->Left() + c->Width() + kRightMargin;
  }
  form->SetWidth(width);

  auto* button = new TButton(form.get());
  button->SetCaption("Ok");
  button->SetLeft(form->Width() / 2 - button->Width() / 2);
  button->SetTop(form->Height() - kButtonFromBottom);
  button->SetModalResult(mrOk);
  button->SetCursor(crHandPoint);
  button->SetParent(form.get());

  auto* bevel = new TBevel(form.get());
  bevel->SetShape(bsTopLine);
  bevel->SetStyle(bsRaised);
  bevel->SetAlign(alBottom);
  bevel->SetParent(form.get());
  bevel->SetHeight(button->Height() + kBevelAboveButton);
  return form;
}

void ShowAboutBox() {
  if (std::unique_ptr<TForm> form = CreateAboutBox()) form->ShowModal();
}
