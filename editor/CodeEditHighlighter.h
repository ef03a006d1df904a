// The highlighter framework: highlighting attributes, the abstract highlighter with its token
// scanner interface and change notification, and the list of placeable highlighter classes.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "editor/CodeEditMiscClasses.h"
#include "editor/CodeEditTypes.h"
#include "platform/rtl/Registry.h"

class TCodeCustomHighlighter;

using TCodeNotifyEvent = TNotifyEvent;

// How one kind of token looks: colours and font style, under a name.
class TCodeHighlighterAttributes : public TPersistent {
  TALVIK_CLASS(TCodeHighlighterAttributes, TPersistent)
  explicit TCodeHighlighterAttributes(std::string name);

  // From another attribute: name, colours and style; OnChange fires once when anything changed.
  void Assign(TPersistent* source) override;

  TColor Background() const { return background_; }
  void SetBackground(TColor value);
  TColor Foreground() const { return foreground_; }
  void SetForeground(TColor value);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles value);
  const std::string& Name() const { return name_; }

  TColor BackgroundDefault() const { return backgroundDefault_; }
  TColor ForegroundDefault() const { return foregroundDefault_; }
  TFontStyles StyleDefault() const { return styleDefault_; }
  // A value is stored in a form only when it differs from its default.
  bool IsBackgroundStored() const { return background_ != backgroundDefault_; }
  bool IsForegroundStored() const { return foreground_ != foregroundDefault_; }
  bool IsStyleStored() const { return style_ != styleDefault_; }
  // The current values become the defaults (done when the highlighter sets the change handler).
  void InternalSaveDefaultValues();

  // Colours and style under the sub-key named after the attribute, below the registry's open key;
  // the registry returns to that key afterwards. False when the sub-key does not open.
  bool LoadFromRegistry(TRegistry& reg);
  bool SaveToRegistry(TRegistry& reg);
  // Imports a colour scheme another editor keeps under `key`: the old format is one string value
  // `name` of seven comma-separated items, the new one a sub-key `name`. True only when every value
  // was found.
  bool LoadFromSchemeRegistry(HKEY rootKey, const std::string& key, const std::string& name, bool oldFormat);

  TCodeNotifyEvent OnChange;

 protected:
  void Changed();

 private:
  std::string name_;
  TColor background_ = clNone;
  TColor backgroundDefault_ = clNone;
  TColor foreground_ = clNone;
  TColor foregroundDefault_ = clNone;
  TFontStyles style_;
  TFontStyles styleDefault_;
};

// The abstract highlighter: scans one line at a time into tokens and carries a range state
// from one line to the next.
class TCodeCustomHighlighter : public TComponent {
  TALVIK_CLASS(TCodeCustomHighlighter, TComponent)
  explicit TCodeCustomHighlighter(TComponent* owner = nullptr);
  ~TCodeCustomHighlighter() override;

  void Assign(TPersistent* source) override;
  void Loaded() override;

  // Attributes, in the order of their names.
  virtual int AttrCount() const { return static_cast<int>(attributes_.size()); }
  virtual TCodeHighlighterAttributes* Attribute(int index) const;
  virtual TCodeHighlighterAttributes* GetDefaultAttribute(int index) const = 0;
  TCodeHighlighterAttributes* AttributeByName(std::string_view name) const;

  virtual std::string GetDefaultFilter() const { return defaultFilter_; }
  virtual TCodeCharSet GetIdentChars() const;
  virtual std::string GetSampleSource() const { return std::string(); }
  virtual bool IsFilterStored() const { return true; }
  virtual void SetDefaultFilter(const std::string& value) { defaultFilter_ = value; }
  virtual void SetSampleSource(const std::string&) {}
  virtual void SetWordBreakChars(const TCodeCharSet& chars) { wordBreakChars_ = chars; }
  virtual int GetCapabilities() const { return 2; }
  virtual std::string GetLanguageName() const;
  // Every attribute under `key` of the root key; true only when the key opened and every attribute
  // was read or written.
  virtual bool LoadFromRegistry(HKEY rootKey, const std::string& key);
  virtual bool SaveToRegistry(HKEY rootKey, const std::string& key);

  // The scanner. SetLine keeps a reference to `text`: the caller keeps it alive and unchanged
  // until the last token of the line has been read.
  virtual bool GetEol() const = 0;
  virtual int32_t GetRange() const { return 0; }
  virtual std::string GetToken() const = 0;
  virtual TCodeHighlighterAttributes* GetTokenAttribute() const = 0;
  virtual int GetTokenKind() const = 0;
  virtual int GetTokenPos() const = 0;
  virtual bool IsKeyword(const std::string&) const { return false; }
  virtual void Next() = 0;
  virtual void SetLine(const std::u32string& text, int lineNumber) = 0;
  virtual void SetRange(int32_t) {}
  virtual void ResetRange() {}
  // Scanning from inside a line. A highlighter whose tokens follow from nothing but the line's text
  // and the range before each token answers true; SetLineFrom then starts the scan of `text` at
  // `pos`, where an earlier scan of the same text began a token with `range` as its range (the
  // range after the token before it). The others scan each line from its start.
  virtual bool CanScanFrom() const { return false; }
  virtual void SetLineFrom(const std::u32string& text, int lineNumber, int pos, int32_t range);

  // Convenience for UTF-8 text: the line is converted into the highlighter's own copy.
  void SetLine(std::string_view utf8, int lineNumber);
  // Length of the current token in code points.
  virtual int GetTokenLen() const = 0;
  void NextToEol();

  void AddAttribute(TCodeHighlighterAttributes* attribute);  // ownership passes
  void SetAttributesOnChange(const TCodeNotifyEvent& handler);
  void AddAttrChangeHook(const TCodeMethod& method) { attrChangeHooks_.Add(method); }
  void RemoveAttrChangeHook(const TCodeMethod& method) { attrChangeHooks_.Remove(method); }

  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();
  // The change notification: fires the hooks (deferred while updating, none while loading).
  void DefHighlightChange(TObject* sender);

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  const TCodeCharSet& WordBreakChars() const { return wordBreakChars_; }

 private:
  std::vector<std::unique_ptr<TCodeHighlighterAttributes>> attributes_;  // sorted by name
  TCodeNotifyEventChain attrChangeHooks_;
  int updateCount_ = 0;
  bool updateChanged_ = false;
  bool enabled_ = true;
  TCodeCharSet wordBreakChars_;
  std::string defaultFilter_;
  std::u32string ownLine_;
};

// The classes of highlighter that can be placed: a name and a factory.
struct TCodeHighlighterClass {
  std::string ClassName;
  std::function<std::unique_ptr<TCodeCustomHighlighter>(TComponent* owner)> Create;
};

void RegisterPlaceableHighlighter(const TCodeHighlighterClass& cls);
const std::vector<TCodeHighlighterClass>& GetPlaceableHighlighters();
