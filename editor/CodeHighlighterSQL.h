// The SQL highlighter: cuts a line of SQL into tokens for eight dialects and carries an open
// block comment or string from one line to the next.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "editor/CodeEditHighlighter.h"
#include "editor/CodeHighlighterHashEntries.h"

enum TSQLDialect : uint8_t {
  sqlStandard = 0,
  sqlInterbase6 = 1,
  sqlMSSQL7 = 2,
  sqlMySQL = 3,
  sqlOracle = 4,
  sqlSybase = 5,
  sqlIngres = 6,
  sqlMSSQL2K = 7
};

enum TSqlTokenKind : uint8_t {
  stkComment = 0,
  stkDataType = 1,
  stkDefaultPackage = 2,
  stkException = 3,
  stkFunction = 4,
  stkIdentifier = 5,
  stkKeyword = 6,
  stkNull = 7,
  stkNumber = 8,
  stkSpace = 9,
  stkPLSQL = 10,
  stkSQLPlus = 11,
  stkString = 12,
  stkSymbol = 13,
  stkTableName = 14,
  stkUnknown = 15,
  stkVariable = 16
};

enum TSqlRangeState : uint8_t { srsUnknown = 0, srsComment = 1, srsString = 2 };

// One fixed keyword list of a dialect: its words (comma-separated) and their token kind.
struct TSQLKeywordList {
  TSqlTokenKind Kind;
  std::string_view Words;
};
// The lists of a dialect in loading order.
const std::vector<TSQLKeywordList>& SQLDialectKeywordLists(TSQLDialect dialect);

class TCodeSQLHighlighter : public TCodeCustomHighlighter {
  TALVIK_CLASS(TCodeSQLHighlighter, TCodeCustomHighlighter)
  explicit TCodeSQLHighlighter(TComponent* owner = nullptr);
  ~TCodeSQLHighlighter() override;

  void Assign(TPersistent* source) override;

  TCodeHighlighterAttributes* GetDefaultAttribute(int index) const override;
  TCodeCharSet GetIdentChars() const override;
  std::string GetLanguageName() const override;
  std::string GetSampleSource() const override;
  bool IsKeyword(const std::string& word) const override;

  void SetLine(const std::u32string& text, int lineNumber) override;
  using TCodeCustomHighlighter::SetLine;
  bool CanScanFrom() const override { return true; }
  void SetLineFrom(const std::u32string& text, int lineNumber, int pos, int32_t range) override;
  void Next() override;
  bool GetEol() const override { return tokenID_ == stkNull; }
  int32_t GetRange() const override { return range_; }
  void SetRange(int32_t value) override { range_ = static_cast<TSqlRangeState>(value); }
  void ResetRange() override { range_ = srsUnknown; }
  std::string GetToken() const override;
  std::u32string_view GetTokenText() const {
    return std::u32string_view(line_ + tokenPos_, run_ - tokenPos_);
  }
  TCodeHighlighterAttributes* GetTokenAttribute() const override;
  int GetTokenKind() const override { return tokenID_; }
  int GetTokenPos() const override { return static_cast<int>(tokenPos_); }
  int GetTokenLen() const override { return static_cast<int>(run_ - tokenPos_); }
  int LineNumber() const { return lineNumber_; }

  TSQLDialect SQLDialect() const { return dialect_; }
  void SetSQLDialect(TSQLDialect value);
  // The table-name list; any change of it rebuilds the keyword lists.
  TStringList* TableNames() const { return tableNames_.get(); }
  void SetTableNames(TStrings* names);

  // The kind a word is looked up as (identifier when it is in no list).
  TSqlTokenKind IdKindOf(std::u32string_view word) const;

  TCodeHighlighterAttributes* CommentAttri() const { return commentAttri_; }
  TCodeHighlighterAttributes* DataTypeAttri() const { return dataTypeAttri_; }
  TCodeHighlighterAttributes* DefaultPackageAttri() const { return defaultPackageAttri_; }
  TCodeHighlighterAttributes* ExceptionAttri() const { return exceptionAttri_; }
  TCodeHighlighterAttributes* FunctionAttri() const { return functionAttri_; }
  TCodeHighlighterAttributes* IdentifierAttri() const { return identifierAttri_; }
  TCodeHighlighterAttributes* KeyAttri() const { return keyAttri_; }
  TCodeHighlighterAttributes* NumberAttri() const { return numberAttri_; }
  TCodeHighlighterAttributes* PLSQLAttri() const { return plsqlAttri_; }
  TCodeHighlighterAttributes* SpaceAttri() const { return spaceAttri_; }
  TCodeHighlighterAttributes* SQLPlusAttri() const { return sqlPlusAttri_; }
  TCodeHighlighterAttributes* StringAttri() const { return stringAttri_; }
  TCodeHighlighterAttributes* SymbolAttri() const { return symbolAttri_; }
  TCodeHighlighterAttributes* TableNameAttri() const { return tableNameAttri_; }
  TCodeHighlighterAttributes* VariableAttri() const { return variableAttri_; }

 private:
  using TProc = void (TCodeSQLHighlighter::*)();

  void StartLine(const std::u32string& text, int lineNumber, size_t pos);
  void InitializeKeywordLists();
  void AddKeyword(const std::u32string& word, int kind);
  uint32_t KeyHash(const char32_t* p) const;
  bool KeyComp(const TCodeHashEntry& entry) const;
  TSqlTokenKind IdKind(const char32_t* p) const;
  bool IsIdentChar(char32_t c) const { return c < 256 && identTable_[c]; }
  bool AtLineEnd(char32_t c) const { return c == 0 || c == U'\n' || c == U'\r'; }
  void RunToLineEnd();
  void RunToCommentEnd();
  void SymbolThen(std::u32string_view follow);
  void MakeProcTable();

  void AndSymbolProc();
  void AsciiCharProc();
  void CRProc();
  void EqualProc();
  void GreaterProc();
  void IdentProc();
  void LFProc();
  void LowerProc();
  void MinusProc();
  void HashProc();
  void NullProc();
  void NumberProc();
  void OrSymbolProc();
  void PlusProc();
  void SlashProc();
  void SpaceProc();
  void QuoteProc();
  void SymbolProc();
  void SymbolAssignProc();
  void VariableProc();
  void UnknownProc();
  void AnsiCProc();

  const char32_t* line_ = U"";
  std::u32string nulFreeLine_;
  size_t run_ = 0;
  size_t tokenPos_ = 0;
  int lineNumber_ = 0;
  TSqlTokenKind tokenID_ = stkNull;
  mutable const char32_t* identStart_ = nullptr;
  mutable size_t identLen_ = 0;
  TSqlRangeState range_ = srsUnknown;
  TSQLDialect dialect_ = sqlStandard;
  TCodeHashEntryList keywords_;
  std::unique_ptr<TStringList> tableNames_;
  const bool* identTable_;
  const int* weightTable_;
  std::array<TProc, 257> procTable_{};

  TCodeHighlighterAttributes* commentAttri_;
  TCodeHighlighterAttributes* dataTypeAttri_;
  TCodeHighlighterAttributes* defaultPackageAttri_;
  TCodeHighlighterAttributes* exceptionAttri_;
  TCodeHighlighterAttributes* functionAttri_;
  TCodeHighlighterAttributes* identifierAttri_;
  TCodeHighlighterAttributes* keyAttri_;
  TCodeHighlighterAttributes* numberAttri_;
  TCodeHighlighterAttributes* plsqlAttri_;
  TCodeHighlighterAttributes* spaceAttri_;
  TCodeHighlighterAttributes* sqlPlusAttri_;
  TCodeHighlighterAttributes* stringAttri_;
  TCodeHighlighterAttributes* symbolAttri_;
  TCodeHighlighterAttributes* tableNameAttri_;
  TCodeHighlighterAttributes* variableAttri_;
};
