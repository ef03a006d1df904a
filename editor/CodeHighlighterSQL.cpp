#include "editor/CodeHighlighterSQL.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cwchar>

#include "editor/CodeEditMiscProcs.h"
#include "editor/CodeEditStrConst.h"

namespace {

// The scanner's character tables: identifier flags and hash weights, a standard pair and a pair
// in which '@' is an identifier character (the SQL Server dialects).
struct TSQLCharTables {
  bool ident[256];
  int weight[256];
  bool identMSSQL[256];
  int weightMSSQL[256];

  TSQLCharTables() {
    for (int c = 0; c < 256; ++c) {
      ident[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                 c == '#' || c == '$';
      if (c == '_')
        weight[c] = 1;
      else if (c >= 'a' && c <= 'z')
        weight[c] = c - 'a' + 2;
      else if (c >= 'A' && c <= 'Z')
        weight[c] = c - 'A' + 2;
      else
        weight[c] = 0;
      identMSSQL[c] = ident[c];
      weightMSSQL[c] = weight[c];
    }
    identMSSQL[static_cast<int>('@')] = true;
    weightMSSQL[static_cast<int>('@')] = weight[static_cast<int>('Z')] + 1;
  }
};

const TSQLCharTables& CharTables() {
  static const TSQLCharTables tables;
  return tables;
}

bool IsMSSQL(TSQLDialect d) {
  return d == sqlMSSQL7 || d == sqlMSSQL2K;
}

const bool registered = [] {
  RegisterPlaceableHighlighter(TCodeHighlighterClass{
      "TCodeSQLHighlighter", [](TComponent* owner) -> std::unique_ptr<TCodeCustomHighlighter> {
        return std::make_unique<TCodeSQLHighlighter>(owner);
      }});
  return true;
}();

// Whether a character 0 is in the text: searched as wide characters, which are code points here.
bool HasNul(const std::u32string& text) {
  static_assert(sizeof(wchar_t) == sizeof(char32_t));
  return std::wmemchr(reinterpret_cast<const wchar_t*>(text.data()), L'\0', text.size()) != nullptr;
}

}  // namespace

TCodeSQLHighlighter::TCodeSQLHighlighter(TComponent* owner)
    : TCodeCustomHighlighter(owner), tableNames_(std::make_unique<TStringList>()) {
  (void)registered;
  tableNames_->OnChange = [this](TObject*) { InitializeKeywordLists(); };
  identTable_ = CharTables().ident;
  weightTable_ = CharTables().weight;
  auto make = [this](const char* name, TFontStyles style) {
    auto* a = new TCodeHighlighterAttributes(name);
    a->SetStyle(style);
    AddAttribute(a);
    return a;
  };
  commentAttri_ = make(CodeEditStr::SYNS_AttrComment, {fsItalic});
  dataTypeAttri_ = make(CodeEditStr::SYNS_AttrDataType, {fsBold});
  defaultPackageAttri_ = make(CodeEditStr::SYNS_AttrDefaultPackage, {fsBold});
  exceptionAttri_ = make(CodeEditStr::SYNS_AttrException, {fsItalic});
  functionAttri_ = make(CodeEditStr::SYNS_AttrFunction, {fsBold});
  identifierAttri_ = make(CodeEditStr::SYNS_AttrIdentifier, {});
  keyAttri_ = make(CodeEditStr::SYNS_AttrReservedWord, {fsBold});
  numberAttri_ = make(CodeEditStr::SYNS_AttrNumber, {});
  plsqlAttri_ = make(CodeEditStr::SYNS_AttrPLSQL, {fsBold});
  spaceAttri_ = make(CodeEditStr::SYNS_AttrSpace, {});
  sqlPlusAttri_ = make(CodeEditStr::SYNS_AttrSQLPlus, {fsBold});
  stringAttri_ = make(CodeEditStr::SYNS_AttrString, {});
  symbolAttri_ = make(CodeEditStr::SYNS_AttrSymbol, {});
  tableNameAttri_ = make(CodeEditStr::SYNS_AttrTableName, {});
  variableAttri_ = make(CodeEditStr::SYNS_AttrVariable, {});
  SetAttributesOnChange([this](TObject* sender) { DefHighlightChange(sender); });
  MakeProcTable();
  SetDefaultFilter(CodeEditStr::SYNS_FilterSQL);
  range_ = srsUnknown;
  dialect_ = sqlStandard;
  InitializeKeywordLists();
}

TCodeSQLHighlighter::~TCodeSQLHighlighter() = default;

void TCodeSQLHighlighter::MakeProcTable() {
  for (int c = 0; c < 257; ++c) {
    TProc p = &TCodeSQLHighlighter::UnknownProc;
    if (c == 0)
      p = &TCodeSQLHighlighter::NullProc;
    else if (c == 10)
      p = &TCodeSQLHighlighter::LFProc;
    else if (c == 13)
      p = &TCodeSQLHighlighter::CRProc;
    else if (c >= 1 && c <= 32)
      p = &TCodeSQLHighlighter::SpaceProc;
    else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_')
      p = &TCodeSQLHighlighter::IdentProc;
    else if (c >= '0' && c <= '9')
      p = &TCodeSQLHighlighter::NumberProc;
    else {
      switch (c) {
        case '\'':
          p = &TCodeSQLHighlighter::AsciiCharProc;
          break;
        case '"':
          p = &TCodeSQLHighlighter::QuoteProc;
          break;
        case '-':
          p = &TCodeSQLHighlighter::MinusProc;
          break;
        case '/':
          p = &TCodeSQLHighlighter::SlashProc;
          break;
        case '#':
          p = &TCodeSQLHighlighter::HashProc;
          break;
        case ':':
        case '@':
          p = &TCodeSQLHighlighter::VariableProc;
          break;
        case '<':
          p = &TCodeSQLHighlighter::LowerProc;
          break;
        case '=':
          p = &TCodeSQLHighlighter::EqualProc;
          break;
        case '>':
          p = &TCodeSQLHighlighter::GreaterProc;
          break;
        case '+':
          p = &TCodeSQLHighlighter::PlusProc;
          break;
        case '&':
          p = &TCodeSQLHighlighter::AndSymbolProc;
          break;
        case '|':
          p = &TCodeSQLHighlighter::OrSymbolProc;
          break;
        case '!':
        case '%':
        case '*':
        case '^':
          p = &TCodeSQLHighlighter::SymbolAssignProc;
          break;
        case '(':
        case ')':
        case ',':
        case '.':
        case ';':
        case '?':
        case '[':
        case ']':
        case '{':
        case '}':
        case '~':
          p = &TCodeSQLHighlighter::SymbolProc;
          break;
        default:
          break;
      }
    }
    procTable_[c] = p;
  }
}

uint32_t TCodeSQLHighlighter::KeyHash(const char32_t* p) const {
  uint32_t hash = 0;
  identStart_ = p;
  const char32_t* q = p;
  while (*q < 256 && identTable_[*q]) {
    hash = 2 * hash + static_cast<uint32_t>(weightTable_[*q]);
    ++q;
  }
  identLen_ = static_cast<size_t>(q - p);
  return hash & 0xFF;
}

bool TCodeSQLHighlighter::KeyComp(const TCodeHashEntry& entry) const {
  const std::u32string& kw = entry.FoldedKeyword();
  for (size_t i = 0; i < identLen_; ++i)
    if (FoldAsciiCase(identStart_[i]) != kw[i]) return false;
  return true;
}

TSqlTokenKind TCodeSQLHighlighter::IdKind(const char32_t* p) const {
  uint32_t hash = KeyHash(p);
  const int len = static_cast<int>(identLen_);
  for (const TCodeHashEntry* e = keywords_.Get(static_cast<int>(hash)); e; e = e->Next()) {
    if (e->KeyLen() > len) break;
    if (e->KeyLen() == len && KeyComp(*e)) return static_cast<TSqlTokenKind>(e->Kind());
  }
  return stkIdentifier;
}

TSqlTokenKind TCodeSQLHighlighter::IdKindOf(std::u32string_view word) const {
  // a zero-terminated copy, on the stack for a word no longer than a keyword runs
  constexpr size_t kOnStack = 63;
  std::array<char32_t, kOnStack + 1> buffer;  // NOLINT(cppcoreguidelines-pro-type-member-init): filled below
  std::u32string longer;
  const char32_t* w = buffer.data();
  if (word.size() <= kOnStack) {
    std::copy(word.begin(), word.end(), buffer.begin());
    buffer[word.size()] = 0;
  } else {
    longer.assign(word);
    w = longer.c_str();
  }
  TSqlTokenKind k = IdKind(w);
  if (identLen_ != word.size()) return stkIdentifier;
  return k;
}

void TCodeSQLHighlighter::AddKeyword(const std::u32string& word, int kind) {
  uint32_t hash = KeyHash(word.c_str());
  keywords_.Put(static_cast<int>(hash), std::make_unique<TCodeHashEntry>(word, kind));
}

void TCodeSQLHighlighter::InitializeKeywordLists() {
  keywords_.Clear();
  if (IsMSSQL(dialect_)) {
    identTable_ = CharTables().identMSSQL;
    weightTable_ = CharTables().weightMSSQL;
  } else {
    identTable_ = CharTables().ident;
    weightTable_ = CharTables().weight;
  }
  TCodeCharSet splitChars = GetIdentChars();
  if (dialect_ == sqlStandard) splitChars.Include(U'-');
  for (const TSQLKeywordList& list : SQLDialectKeywordLists(dialect_))
    EnumerateKeywords(list.Kind, list.Words, splitChars,
                      [this](const std::u32string& w, int kind) { AddKeyword(w, kind); });
  for (int i = 0; i < tableNames_->Count(); ++i) {
    const std::string name = tableNames_->Strings(i);
    std::u32string w = Utf8ToUtf32(name);
    if (w.empty()) continue;
    uint32_t hash = KeyHash(w.c_str());
    bool found = false;
    for (const TCodeHashEntry* e = keywords_.Get(static_cast<int>(hash)); e && !found; e = e->Next())
      found = SameTextU32(Utf8ToUtf32(e->Keyword()), w);
    if (!found) keywords_.Put(static_cast<int>(hash), std::make_unique<TCodeHashEntry>(name, stkTableName));
  }
  DefHighlightChange(this);
}

void TCodeSQLHighlighter::SetSQLDialect(TSQLDialect value) {
  if (value == dialect_) return;
  dialect_ = value;
  InitializeKeywordLists();
}

void TCodeSQLHighlighter::SetTableNames(TStrings* names) {
  tableNames_->Assign(names);
}

void TCodeSQLHighlighter::Assign(TPersistent* source) {
  TCodeCustomHighlighter::Assign(source);
  if (auto* src = dynamic_cast<TCodeSQLHighlighter*>(source)) SetSQLDialect(src->SQLDialect());
}

TCodeHighlighterAttributes* TCodeSQLHighlighter::GetDefaultAttribute(int index) const {
  switch (index) {
    case 0:
      return commentAttri_;
    case 1:
      return identifierAttri_;
    case 2:
      return keyAttri_;
    case 3:
      return stringAttri_;
    case 4:
      return spaceAttri_;
    case 5:
      return symbolAttri_;
    default:
      return nullptr;
  }
}

TCodeCharSet TCodeSQLHighlighter::GetIdentChars() const {
  TCodeCharSet s = TCodeCharSet::Range(U'0', U'9');
  s.IncludeRange(U'A', U'Z');
  s.IncludeRange(U'a', U'z');
  s.Include(U'_');
  s.IncludeRange(192, 255);
  s.Exclude(215);
  s.Exclude(247);
  s.SetHighLetters(true);
  if (dialect_ == sqlOracle) {
    s.Include(U'#');
    s.Include(U'$');
  } else if (IsMSSQL(dialect_)) {
    s.Include(U'@');
  }
  return s;
}

std::string TCodeSQLHighlighter::GetLanguageName() const {
  return CodeEditStr::SYNS_LangSQL;
}

bool TCodeSQLHighlighter::IsKeyword(const std::string& word) const {
  switch (IdKindOf(Utf8ToUtf32(word))) {
    case stkDataType:
    case stkDefaultPackage:
    case stkException:
    case stkFunction:
    case stkKeyword:
    case stkPLSQL:
      return true;
    default:
      return false;
  }
}

void TCodeSQLHighlighter::SetLine(const std::u32string& text, int lineNumber) {
  StartLine(text, lineNumber, 0);
}

void TCodeSQLHighlighter::SetLineFrom(const std::u32string& text, int lineNumber, int pos, int32_t range) {
  assert(pos >= 0 && static_cast<size_t>(pos) <= text.size());
  SetRange(range);
  StartLine(text, lineNumber, static_cast<size_t>(pos));
}

// Every token is found from the text and the range before it alone, so a scan may start at any
// token start with the range there.
void TCodeSQLHighlighter::StartLine(const std::u32string& text, int lineNumber, size_t pos) {
  line_ = text.c_str();
  if (HasNul(text)) {
    // A character 0 inside the line would end the scan and hide the rest of the line: scan a copy
    // in which it is a character that starts no token.
    nulFreeLine_ = text;
    for (char32_t& c : nulFreeLine_)
      if (c == 0) c = 0xFFFD;
    line_ = nulFreeLine_.c_str();
  }
  run_ = pos;
  lineNumber_ = lineNumber;
  Next();
}

std::string TCodeSQLHighlighter::GetToken() const {
  return Utf32ToUtf8(GetTokenText());
}

TCodeHighlighterAttributes* TCodeSQLHighlighter::GetTokenAttribute() const {
  switch (tokenID_) {
    case stkComment:
      return commentAttri_;
    case stkDataType:
      return dataTypeAttri_;
    case stkDefaultPackage:
      return defaultPackageAttri_;
    case stkException:
      return exceptionAttri_;
    case stkFunction:
      return functionAttri_;
    case stkIdentifier:
      return identifierAttri_;
    case stkKeyword:
      return keyAttri_;
    case stkNumber:
      return numberAttri_;
    case stkSpace:
      return spaceAttri_;
    case stkPLSQL:
      return plsqlAttri_;
    case stkSQLPlus:
      return sqlPlusAttri_;
    case stkString:
      return stringAttri_;
    case stkSymbol:
      return symbolAttri_;
    case stkTableName:
      return tableNameAttri_;
    case stkUnknown:
      return identifierAttri_;
    case stkVariable:
      return variableAttri_;
    default:
      return nullptr;
  }
}

void TCodeSQLHighlighter::Next() {
  tokenPos_ = run_;
  switch (range_) {
    case srsComment:
      AnsiCProc();
      break;
    case srsString:
      AsciiCharProc();
      break;
    default: {
      char32_t c = line_[run_];
      (this->*procTable_[c < 256 ? c : 256])();
      break;
    }
  }
}

void TCodeSQLHighlighter::RunToLineEnd() {
  while (!AtLineEnd(line_[run_])) ++run_;
}

// Through the end of a block comment (the comment is closed then) or up to the line end.
void TCodeSQLHighlighter::RunToCommentEnd() {
  for (;;) {
    char32_t c = line_[run_];
    if (AtLineEnd(c)) return;
    if (c == U'*' && line_[run_ + 1] == U'/') {
      run_ += 2;
      range_ = srsUnknown;
      return;
    }
    ++run_;
  }
}

// A symbol of one character, or of two where the second is one of follow.
void TCodeSQLHighlighter::SymbolThen(std::u32string_view follow) {
  tokenID_ = stkSymbol;
  ++run_;
  if (follow.find(line_[run_]) != std::u32string_view::npos) ++run_;
}

// Continuation of a block comment from an earlier line.
void TCodeSQLHighlighter::AnsiCProc() {
  switch (line_[run_]) {
    case 0:
      NullProc();
      return;
    case U'\n':
      LFProc();
      return;
    case U'\r':
      CRProc();
      return;
    default:
      break;
  }
  tokenID_ = stkComment;
  RunToCommentEnd();
}

void TCodeSQLHighlighter::AndSymbolProc() {
  SymbolThen(U"&=");
}

void TCodeSQLHighlighter::AsciiCharProc() {
  if (line_[run_] == 0) {
    NullProc();
    return;
  }
  tokenID_ = stkString;
  if (dialect_ == sqlMySQL) {
    if (!(run_ == 0 && range_ == srsString && line_[run_] == U'\'')) {
      range_ = srsString;
      for (;;) {
        char32_t c = line_[run_];
        if (AtLineEnd(c)) break;
        if (c != U'\\' && line_[run_ + 1] == U'\'') {
          ++run_;
          break;
        }
        ++run_;
      }
    }
    if (line_[run_] == U'\'' && (run_ == 0 || line_[run_ - 1] != U'\\')) {
      ++run_;
      range_ = srsUnknown;
    } else if (run_ == tokenPos_) {
      // An open string continued onto a line end: the line end is scanned as such (the string
      // stays open), so that scanning always moves on.
      if (line_[run_] == U'\r')
        CRProc();
      else
        LFProc();
    }
    return;
  }
  if (!(run_ == 0 && range_ == srsString && line_[run_] == U'\'')) {
    range_ = srsString;
    do {
      ++run_;
    } while (!AtLineEnd(line_[run_]) && line_[run_] != U'\'');
  }
  if (line_[run_] == U'\'') {
    ++run_;
    range_ = srsUnknown;
  }
}

void TCodeSQLHighlighter::CRProc() {
  tokenID_ = stkSpace;
  ++run_;
  if (line_[run_] == U'\n') ++run_;
}

void TCodeSQLHighlighter::EqualProc() {
  SymbolThen(U"=>");
}

void TCodeSQLHighlighter::GreaterProc() {
  SymbolThen(U"=>");
}

void TCodeSQLHighlighter::IdentProc() {
  tokenID_ = IdKind(line_ + run_);
  run_ += identLen_;
  if (tokenID_ == stkComment) RunToLineEnd();
}

void TCodeSQLHighlighter::LFProc() {
  tokenID_ = stkSpace;
  ++run_;
}

void TCodeSQLHighlighter::LowerProc() {
  tokenID_ = stkSymbol;
  ++run_;
  if (line_[run_] == U'=') {
    ++run_;
  } else if (line_[run_] == U'<') {
    ++run_;
    if (line_[run_] == U'=') ++run_;
  }
}

void TCodeSQLHighlighter::MinusProc() {
  ++run_;
  if (line_[run_] == U'-') {
    tokenID_ = stkComment;
    RunToLineEnd();
  } else {
    tokenID_ = stkSymbol;
  }
}

void TCodeSQLHighlighter::HashProc() {
  if (dialect_ == sqlMySQL) {
    tokenID_ = stkComment;
    RunToLineEnd();
  } else {
    tokenID_ = stkUnknown;
    ++run_;
  }
}

void TCodeSQLHighlighter::NullProc() {
  tokenID_ = stkNull;
}

void TCodeSQLHighlighter::NumberProc() {
  tokenID_ = stkNumber;
  ++run_;
  for (;;) {
    char32_t c = line_[run_];
    if (c == U'.') {
      if (line_[run_ + 1] == U'.') break;
    } else if (!((c >= U'0' && c <= U'9') || c == U'-')) {
      break;
    }
    ++run_;
  }
}

void TCodeSQLHighlighter::OrSymbolProc() {
  SymbolThen(U"|=");
}

void TCodeSQLHighlighter::PlusProc() {
  SymbolThen(U"+=");
}

void TCodeSQLHighlighter::SlashProc() {
  ++run_;
  switch (line_[run_]) {
    case U'*':
      range_ = srsComment;
      tokenID_ = stkComment;
      ++run_;
      RunToCommentEnd();
      return;
    case U'=':
      ++run_;
      tokenID_ = stkSymbol;
      break;
    default:
      tokenID_ = stkSymbol;
      break;
  }
}

void TCodeSQLHighlighter::SpaceProc() {
  tokenID_ = stkSpace;
  ++run_;
  for (;;) {
    char32_t c = line_[run_];
    if (c < 1 || c > 32 || c == U'\n' || c == U'\r') break;
    ++run_;
  }
}

void TCodeSQLHighlighter::QuoteProc() {
  tokenID_ = stkString;
  ++run_;
  for (;;) {
    char32_t c = line_[run_];
    if (AtLineEnd(c)) return;
    if (c == U'\\' && line_[run_ + 1] == U'"') {
      run_ += 2;
      continue;
    }
    if (c == U'"') {
      if (line_[run_ + 1] == U'"') {
        run_ += 2;
        continue;
      }
      ++run_;
      return;
    }
    ++run_;
  }
}

void TCodeSQLHighlighter::SymbolProc() {
  ++run_;
  tokenID_ = stkSymbol;
}

void TCodeSQLHighlighter::SymbolAssignProc() {
  SymbolThen(U"=");
}

void TCodeSQLHighlighter::VariableProc() {
  const char32_t c = line_[run_];
  if (IsMSSQL(dialect_) && c == U'@' && line_[run_ + 1] == U'@') {
    IdentProc();
    return;
  }
  if ((dialect_ == sqlMySQL || dialect_ == sqlOracle) && c == U'@') {
    SymbolProc();
    return;
  }
  if (dialect_ != sqlOracle && dialect_ != sqlIngres && c == U':') {
    SymbolProc();
    return;
  }
  tokenID_ = stkVariable;
  ++run_;
  while (IsIdentChar(line_[run_])) ++run_;
}

void TCodeSQLHighlighter::UnknownProc() {
  ++run_;
  tokenID_ = stkUnknown;
}
