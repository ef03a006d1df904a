// Data-aware controls of the class library: a label that shows a field's display text and a read-only
// memo that shows a field's (rich) text as plain text. Both follow the record their data source is on.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/db/DB.h"
#include "platform/gui/StdCtrls.h"

// A label over a field: the field's display text, empty for null or without a field.
class TDBText : public TCustomLabel {
  TALVIK_CLASS(TDBText, TCustomLabel)
  explicit TDBText(TComponent* AOwner);
  ~TDBText() override;

  TDataSource* DataSource() const { return dataLink_->DataSource(); }
  void SetDataSource(TDataSource* Value);
  const std::string& DataField() const { return dataLink_->FieldName(); }
  void SetDataField(const std::string& Value);
  TField* Field() const { return dataLink_->Field(); }
  // The text shown: what the field displays now.
  std::string FieldText() const;

 protected:
  std::string GetLabelText() const override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void DataChange();
  std::unique_ptr<TFieldDataLink> dataLink_;
  std::optional<std::string> shownText_;  // the text of the last change told, painted since
};

// A read-only memo over a field, with both scroll bars; rich text shows as its plain text.
class TDBRichEdit : public TCustomMemo {
  TALVIK_CLASS(TDBRichEdit, TCustomMemo)
  explicit TDBRichEdit(TComponent* AOwner);
  ~TDBRichEdit() override;

  TDataSource* DataSource() const { return dataLink_->DataSource(); }
  void SetDataSource(TDataSource* Value);
  const std::string& DataField() const { return dataLink_->FieldName(); }
  void SetDataField(const std::string& Value);
  TField* Field() const { return dataLink_->Field(); }
  bool PlainText() const { return plainText_; }
  void SetPlainText(bool Value);

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void DataChange();
  std::unique_ptr<TFieldDataLink> dataLink_;
  bool plainText_ = true;
};

// The plain text of a rich text ("{\rtf..."): control words, groups of destinations (font and colour
// tables, pictures) and braces go; \par and \line become line breaks, \tab a tab, \'xx the Windows-1251
// character and \uN the Unicode one. Text that is not rich text comes back as it is.
std::string RichTextToPlainText(const std::string& Text);
