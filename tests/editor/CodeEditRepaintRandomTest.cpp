// Seeded random steps on an editor on screen, each checked four ways, pixel for pixel: the picture
// its own repaints left in the window is what painting the window whole gives; so it is once more
// after a random scroll (the window layer moves the picture as a screen would, so a stale pixel
// moves with it); a paint of the cell where a line in view ends (where no token of the line starts,
// a glyph left of it may reach in, a selection may end) draws what the whole paint drew there; and a
// fresh editor given the same text, settings, selection and view paints the same. The steps edit
// (typing, line breaks, deletes, pastes with and without line breaks, comments opened and closed far
// from the view, undo, redo, selections in three modes) and change settings (word wrap, width, tab
// width, special characters, highlighter and its dialect, font) of a text of short lines and one
// long line with tabs, Cyrillic, 4-byte characters, strings and comments.
//
// A failure is reduced to its fewest steps (delta debugging: subsets of the steps replayed on a new
// editor until no step can go) and printed as a step list that the named cases below keep.
// scripts/editor-random-repaints runs many seeds and long runs through the LongRun case;
// TALVIK_REPAINT_NO_REDUCE=1 prints a failing seed's steps unreduced (faster, for a survey of seeds).
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <random>
#include <sstream>

#include "CodeEditTestSupport.h"
#include "RandomWalk.h"

using namespace edittest;

namespace {

// ---------------------------------------------------------------- steps

enum TStepKind : uint8_t {
  skType,        // text typed at the caret
  skReturn,      // a line break typed
  skDelete,      // Delete
  skBackspace,   // Backspace
  skPaste,       // the text pasted from the clipboard
  skFarComment,  // a comment opener or closer put into a line through Lines()
  skUndo,
  skRedo,
  skSelect,    // a selection in a mode
  skWordWrap,  // word wrap switched
  skWidth,     // the editor's width
  skTabWidth,
  skSpecialChars,  // special characters shown or hidden
  skHighlighter,   // none, the first or the second highlighter
  skDialect,       // the dialect of the highlighter in use, changed in place
  skFont,          // font name and height
  skCount
};

// After a step the view may scroll: the top line or the left character by so much, or onto the
// longest line, at one of its rows and columns picked by the number.
enum TScrollKind : uint8_t { scNone, scTopLine, scLeftChar, scLongLine };

struct TStep {
  TStepKind Kind = skType;
  int A = 0, B = 0, C = 0, D = 0;
  std::string Text;
  TScrollKind Scroll = scNone;
  int ScrollBy = 0;
};

const char* const kKindNames[skCount] = {"skType",         "skReturn",      "skDelete",  "skBackspace",
                                         "skPaste",        "skFarComment",  "skUndo",    "skRedo",
                                         "skSelect",       "skWordWrap",    "skWidth",   "skTabWidth",
                                         "skSpecialChars", "skHighlighter", "skDialect", "skFont"};
const char* const kScrollNames[] = {"scNone", "scTopLine", "scLeftChar", "scLongLine"};

// Dialects that read the long line differently: '#' and '$' in words, '#' opening a comment, '@'.
const TSQLDialect kDialects[] = {sqlStandard, sqlOracle, sqlMySQL, sqlMSSQL2K, sqlInterbase6};
const char* const kFontNames[] = {"Courier New", "DejaVu Sans Mono"};
const int kFontHeights[] = {-11, -13, -16};

std::string Quoted(const std::string& t) {
  std::string out = "\"";
  for (char c : t) out += c == '\n' ? std::string("\\n") : c == '\t' ? std::string("\\t") : std::string(1, c);
  return out + "\"";
}

// One step as a line of C++ that rebuilds it (the named cases hold such lines).
std::string Describe(const TStep& s) {
  std::ostringstream out;
  out << "MakeStep(" << kKindNames[s.Kind] << ", " << s.A << ", " << s.B << ", " << s.C << ", " << s.D << ", "
      << Quoted(s.Text) << ", " << kScrollNames[s.Scroll] << ", " << s.ScrollBy << "),";
  return out.str();
}

TStep MakeStep(int kind, int a, int b, int c, int d, std::string text, int scroll, int scrollBy) {
  return TStep{static_cast<TStepKind>(kind),     a,       b, c, d, std::move(text),
               static_cast<TScrollKind>(scroll), scrollBy};
}

// The text: short lines of SQL and, among them, one long line.
// In MySQL's dialect '#' opens a comment to the line's end; in the others the long line is code and
// comments by turns, and '#' and '$' make words in Oracle's.
std::string LongLine() {
  std::string out = "\tselect x #1 /* ";
  for (int i = 0; out.size() < 3000; ++i)
    out += " a$" + std::to_string(i) + " b$c @d */ 'строка' 𝟘𝟙𝄞 \"Имя\" x-y " + std::to_string(i * 7) +
           ".5e3;\t-x /* к\tм";
  return out + " */ -- конец";
}

std::string StartText() {
  std::string text = SqlText(26);
  size_t at = 0;
  for (int line = 0; line < 11; ++line) at = text.find('\n', at) + 1;
  return text.substr(0, at) + LongLine() + "\n" + text.substr(at);
}

// ---------------------------------------------------------------- the editors

// A highlighter of either look: 0 as the session window has it, 1 another one with backgrounds.
std::unique_ptr<TCodeSQLHighlighter> MakeHighlighter(int look, TSQLDialect dialect) {
  if (look == 0) {
    auto h = SessionHighlighter();
    h->SetSQLDialect(dialect);
    return h;
  }
  auto h = std::make_unique<TCodeSQLHighlighter>(nullptr);
  h->SetSQLDialect(dialect);
  h->KeyAttri()->SetForeground(clBlue);
  h->CommentAttri()->SetBackground(clInfoBk);
  h->StringAttri()->SetForeground(clMaroon);
  h->StringAttri()->SetBackground(clMoneyGreen);
  h->SymbolAttri()->SetForeground(clRed);
  return h;
}

struct TPicture {
  std::vector<COLORREF> Pixels;
  int Width = 0, Height = 0;
};

TPicture PictureOf(HWND form) {
  TPicture p;
  EXPECT_TRUE(talvik::gui::WindowPaintedPixels(form, p.Pixels, p.Width, p.Height));
  return p;
}

// Empty when both are the same; else how many pixels differ and where.
std::string PictureDiff(const TPicture& expected, const TPicture& actual) {
  if (expected.Width != actual.Width || expected.Height != actual.Height)
    return "sizes " + std::to_string(expected.Width) + "x" + std::to_string(expected.Height) + " and " +
           std::to_string(actual.Width) + "x" + std::to_string(actual.Height);
  int count = 0, left = expected.Width, top = expected.Height, right = -1, bottom = -1;
  for (int y = 0; y < expected.Height; ++y)
    for (int x = 0; x < expected.Width; ++x) {
      const size_t i = static_cast<size_t>(y) * static_cast<size_t>(expected.Width) + static_cast<size_t>(x);
      if (expected.Pixels[i] == actual.Pixels[i]) continue;
      ++count;
      left = std::min(left, x);
      top = std::min(top, y);
      right = std::max(right, x);
      bottom = std::max(bottom, y);
    }
  if (count == 0) return std::string();
  return std::to_string(count) + " pixels differ in (" + std::to_string(left) + ", " + std::to_string(top) +
         ")-(" + std::to_string(right) + ", " + std::to_string(bottom) + ")";
}

enum TCheck : uint8_t { ckNone, ckIncremental, ckScrolled, ckLineEnd, ckFresh };
const char* const kCheckNames[] = {"", "the window as its repaints left it differs from a whole repaint",
                                   "after the scroll, the window differs from a whole repaint",
                                   "a paint of the cell where a line ends differs from a whole repaint",
                                   "a fresh editor with the same text, settings and view paints otherwise"};

struct TFailure {
  TCheck Check = ckNone;
  size_t Step = 0;  // the step after which it showed (from 0)
  std::string What;
};

// One editor on a form on screen, with the steps' highlighters; the steps run on it one by one.
class TWorld {
 public:
  TWorld() {
    highlighters_[0] = MakeHighlighter(0, sqlOracle);
    highlighters_[1] = MakeHighlighter(1, sqlStandard);
    form_ = NewForm();
    edit_ = NewEditor(form_.get());
    edit_->SetHighlighter(highlighters_[0].get());
    Lines(edit_, StartText());
    form_->Show();
    edit_->SetFocus();
    talvik::gui::ProcessPending();
  }
  ~TWorld() {
    form_.reset();
    talvik::gui::ProcessPending();
  }

  TCodeEdit* Edit() { return edit_; }
  // Screenshots of the pictures compared go to `path`-shown.png and -whole.png (for people to look at).
  void SetScreenshots(const std::string& path) { shots_ = path; }

  // Runs a step and checks it; ckNone when every picture agrees with the window painted whole.
  TFailure Run(const TStep& s, size_t index) {
    Apply(s);
    talvik::gui::ProcessPending();
    if (std::string d = RepaintDiff(); !d.empty()) return TFailure{ckIncremental, index, d};
    if (s.Scroll != scNone) {
      if (s.Scroll == scTopLine)
        edit_->SetTopLine(edit_->TopLine() + s.ScrollBy);
      else if (s.Scroll == scLeftChar)
        edit_->SetLeftChar(edit_->LeftChar() + s.ScrollBy);
      else
        ScrollToTheLongestLine(s.ScrollBy);
      talvik::gui::ProcessPending();
      if (std::string d = RepaintDiff(); !d.empty()) return TFailure{ckScrolled, index, d};
    }
    if (std::string d = LineEndDiff(s.B); !d.empty()) return TFailure{ckLineEnd, index, d};
    if (fresh_)
      if (std::string d = FreshDiff(); !d.empty()) return TFailure{ckFresh, index, d};
    return TFailure{};
  }

  // Runs the steps; the first failure, if any.
  TFailure RunAll(const std::vector<TStep>& steps) {
    for (size_t i = 0; i < steps.size(); ++i)
      if (TFailure f = Run(steps[i], i); f.Check != ckNone) return f;
    return TFailure{};
  }
  // Whether every step is compared with a fresh editor too (the replays that reduce a failure compare
  // after their last step only: a fresh editor changes nothing in the window).
  void SetFreshCheck(bool on) { fresh_ = on; }
  // Empty when a fresh editor paints what this one does now.
  std::string FreshDiffNow() { return FreshDiff(); }

 private:
  static std::unique_ptr<TForm> NewForm() {
    auto form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 420, 240);
    return form;
  }
  static TCodeEdit* NewEditor(TForm* form) {
    auto* e = new TCodeEdit(form);
    e->SetParent(form);
    e->SetBounds(0, 0, 420, 240);
    e->Font()->SetName(kFontNames[0]);
    e->Font()->SetHeight(-13);
    e->Gutter()->SetShowLineNumbers(true);
    return e;
  }
  static void Lines(TCodeEdit* e, const std::string& text) {
    e->Lines()->BeginUpdate();
    e->Lines()->Clear();
    size_t at = 0;
    for (;;) {
      size_t end = text.find('\n', at);
      e->Lines()->Add(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
      if (end == std::string::npos) break;
      at = end + 1;
    }
    e->Lines()->EndUpdate();
  }

  int LineCount() { return std::max(edit_->Lines()->Count(), 1); }
  int LineLength(int line) {
    return line >= 1 && line <= edit_->Lines()->Count()
               ? static_cast<int>(edit_->Lines()->Line32(line - 1).size())
               : 0;
  }
  TBufferCoord Place(int line, int ch, bool pastEol) {
    TBufferCoord p;
    p.Line = line % LineCount() + 1;
    p.Char = ch % (LineLength(p.Line) + (pastEol ? 12 : 1)) + 1;
    return p;
  }
  void ScrollToTheLongestLine(int by) {
    int longest = 1;
    for (int i = 0; i < edit_->Lines()->Count(); ++i)
      if (LineLength(i + 1) > LineLength(longest)) longest = i + 1;
    const int first = edit_->LineToRow(longest), rows = edit_->LineToRow(longest + 1) - first;
    edit_->SetTopLine(first + by % std::max(rows, 1) - by % 4);
    edit_->SetLeftChar(1 + by % 1100);
  }
  void Key(WORD vk, bool ctrl = false) {
    guitest::TypeKey(vk, 0, {false, ctrl, false});
    talvik::gui::ProcessPending();
  }

  void Apply(const TStep& s) {
    switch (s.Kind) {
      case skType:
        talvik::gui::InjectText(s.Text);
        break;
      case skReturn:
        Key(VK_RETURN);
        break;
      case skDelete:
        Key(VK_DELETE);
        break;
      case skBackspace:
        Key(VK_BACK);
        break;
      case skPaste:
        OpenClipboard(nullptr);
        EmptyClipboard();
        SetClipboardData(CF_TEXT, s.Text);
        CloseClipboard();
        Key('V', true);
        break;
      case skFarComment: {
        // into a line out of view where there is one, so that only the ranges after it change
        const int count = edit_->Lines()->Count();
        if (count == 0) break;
        int line = s.A % count;
        for (int tries = 0; tries < count; ++tries, line = (line + 1) % count) {
          int row = edit_->LineToRow(line + 1);
          if (row < edit_->TopLine() || row > edit_->TopLine() + edit_->LinesInWindow()) break;
        }
        std::u32string text = edit_->Lines()->Line32(line);
        size_t at = static_cast<size_t>(s.B) % (text.size() + 1);
        text.insert(at, s.C ? U"*/" : U"/*");
        edit_->Lines()->PutU32(line, text);
        break;
      }
      case skUndo:
        edit_->CommandProcessor(ecUndo, 0, nullptr);
        break;
      case skRedo:
        edit_->CommandProcessor(ecRedo, 0, nullptr);
        break;
      case skSelect: {
        const auto mode = static_cast<TCodeSelectionMode>(s.A % 3);
        edit_->SetSelectionMode(mode);
        TBufferCoord b = Place(s.B, s.C, mode == smColumn), e = Place(s.B + s.D % 5, s.D, mode == smColumn);
        edit_->SetCaretAndSelection(e, b, e);
        break;
      }
      case skWordWrap:
        edit_->SetWordWrap(!edit_->WordWrap());
        break;
      case skWidth:
        edit_->SetWidth(140 + s.A % 281);
        break;
      case skTabWidth:
        edit_->SetTabWidth(1 + s.A % 9);
        break;
      case skSpecialChars: {
        TCodeEditorOptions o = edit_->Options();
        edit_->SetOptions(o.Contains(eoShowSpecialChars) ? o - eoShowSpecialChars : o + eoShowSpecialChars);
        break;
      }
      case skHighlighter:
        edit_->SetHighlighter(s.A % 3 == 2 ? nullptr : highlighters_[s.A % 3].get());
        break;
      case skDialect:
        if (auto* h = dynamic_cast<TCodeSQLHighlighter*>(edit_->Highlighter()))
          h->SetSQLDialect(kDialects[s.A % std::size(kDialects)]);
        break;
      case skFont:
        edit_->Font()->SetName(kFontNames[s.A % 2]);
        edit_->Font()->SetHeight(kFontHeights[s.B % 3]);
        break;
      case skCount:
        break;
    }
  }

  // What the window shows against the same window painted whole (which it then shows).
  std::string RepaintDiff() {
    const TPicture shown = PictureOf(form_->Handle());
    if (!shots_.empty()) talvik::gui::RenderWindowToPng(form_->Handle(), shots_ + "-shown.png");
    RedrawWindow(form_->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    if (!shots_.empty()) talvik::gui::RenderWindowToPng(form_->Handle(), shots_ + "-whole.png");
    whole_ = PictureOf(form_->Handle());
    return PictureDiff(whole_, shown);
  }

  // A paint of the cell where a line in view ends (`pick` chooses the line) over the window painted
  // whole: empty when it draws what the whole paint did (nothing to compare when the line's end is
  // out of view).
  std::string LineEndDiff(int pick) {
    const int row = edit_->TopLine() + pick % std::max(edit_->LinesInWindow(), 1);
    const int line = edit_->RowToLine(row);
    if (line > edit_->Lines()->Count()) return std::string();
    const TDisplayCoord end = edit_->BufferToDisplayPos({LineLength(line) + 1, line});
    if (end.Row < edit_->TopLine() || end.Row >= edit_->TopLine() + edit_->LinesInWindow() ||
        end.Column < edit_->LeftChar() || end.Column >= edit_->LeftChar() + edit_->CharsInWindow())
      return std::string();
    const TPoint at = edit_->RowColumnToPixels(end);
    const TRect part(at.X, at.Y, at.X + edit_->CharWidth(), at.Y + edit_->LineHeight());
    // the cell first shows a colour the editor never paints: a paint that draws nothing there shows it
    HDC dc = GetDC(edit_->Handle());
    HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
    FillRect(dc, part, magenta);
    DeleteObject(magenta);
    ReleaseDC(edit_->Handle(), dc);
    InvalidateRect(edit_->Handle(), &part, false);
    talvik::gui::ProcessPending();
    if (!shots_.empty()) talvik::gui::RenderWindowToPng(form_->Handle(), shots_ + "-line-end.png");
    return PictureDiff(whole_, PictureOf(form_->Handle()));
  }

  // The window painted whole against a new editor given the same text, settings, selection and view.
  std::string FreshDiff() {
    RedrawWindow(form_->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    const TPicture whole = PictureOf(form_->Handle());
    std::unique_ptr<TForm> form = NewForm();
    TCodeEdit* e = NewEditor(form.get());
    std::unique_ptr<TCodeSQLHighlighter> h;
    auto* used = dynamic_cast<TCodeSQLHighlighter*>(edit_->Highlighter());
    if (used) h = MakeHighlighter(used == highlighters_[0].get() ? 0 : 1, used->SQLDialect());
    e->SetWidth(edit_->Width());
    e->Font()->SetName(edit_->Font()->Name());
    e->Font()->SetHeight(edit_->Font()->Height());
    e->SetTabWidth(edit_->TabWidth());
    e->SetOptions(edit_->Options());
    e->SetHighlighter(h.get());
    // on screen first: rows and columns count from the window's size
    ShowWindow(form->Handle(), SW_SHOWNA);
    talvik::gui::ProcessPending();
    std::string text;
    for (int i = 0; i < edit_->Lines()->Count(); ++i) text += (i ? "\n" : "") + edit_->Lines()->Strings(i);
    Lines(e, text);
    e->SetWordWrap(edit_->WordWrap());
    e->SetSelectionMode(edit_->SelectionMode());
    e->SetCaretAndSelection(edit_->CaretXY(), edit_->RawBlockBegin(), edit_->RawBlockEnd());
    e->SetLeftChar(edit_->LeftChar());
    e->SetTopLine(edit_->TopLine());
    talvik::gui::ProcessPending();
    std::string view;
    if (e->TopLine() != edit_->TopLine() || e->LeftChar() != edit_->LeftChar())
      view = "; the fresh editor's view is top line " + std::to_string(e->TopLine()) + ", left char " +
             std::to_string(e->LeftChar()) + " for " + std::to_string(edit_->TopLine()) + ", " +
             std::to_string(edit_->LeftChar());
    std::string d = PictureDiff(whole, PictureOf(form->Handle()));
    if (!shots_.empty()) {
      talvik::gui::RenderWindowToPng(form_->Handle(), shots_ + "-whole.png");
      talvik::gui::RenderWindowToPng(form->Handle(), shots_ + "-fresh.png");
    }
    form.reset();
    talvik::gui::ProcessPending();
    return d.empty() ? view : d + view;
  }

  std::unique_ptr<TCodeSQLHighlighter> highlighters_[2];
  std::unique_ptr<TForm> form_;
  TCodeEdit* edit_ = nullptr;
  std::string shots_;
  TPicture whole_;  // the window as the last whole repaint left it
  bool fresh_ = true;
};

// ---------------------------------------------------------------- random steps and reduction

class TStepSource {
 public:
  explicit TStepSource(unsigned seed) : rng_(seed) {}
  TStep Next() {
    static const int kWeights[skCount] = {14, 5, 5, 5, 6, 5, 5, 3, 8, 3, 2, 2, 3, 3, 4, 2};
    int total = 0;
    for (int w : kWeights) total += w;
    int r = Pick(total), kind = 0;
    while (r >= kWeights[kind]) r -= kWeights[kind++];
    static const std::vector<std::string> typed = {"x", "ы", "𝟘", "'", "/*", "*/", "\t", " ", "--", "ab c"};
    static const std::vector<std::string> pasted = {"p", "вставка", "a\nb", "x\n\n'y", "/*\n*/ z", "\t𝄞\t"};
    TStep s;
    s.Kind = static_cast<TStepKind>(kind);
    s.A = Pick(1000);
    s.B = Pick(4000);
    s.C = Pick(2);
    s.D = Pick(4000);
    if (s.Kind == skType) s.Text = typed[static_cast<size_t>(Pick(static_cast<int>(typed.size())))];
    if (s.Kind == skPaste) s.Text = pasted[static_cast<size_t>(Pick(static_cast<int>(pasted.size())))];
    if (s.Kind == skSelect) s.C = Pick(4000);
    switch (Pick(6)) {
      case 0:
        s.Scroll = scTopLine;
        s.ScrollBy = Pick(2) ? Pick(11) - 5 : Pick(80) - 40;
        break;
      case 1:
        s.Scroll = scLeftChar;
        s.ScrollBy = Pick(2) ? Pick(21) - 10 : Pick(1200) - 300;
        break;
      case 2:
        s.Scroll = scLongLine;
        s.ScrollBy = Pick(100000);
        break;
      default:
        break;
    }
    return s;
  }

 private:
  int Pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
  std::mt19937 rng_;
};

// Whether the steps fail the same check on a new editor.
// (A fresh editor is compared after the last step only: one is made anew for every comparison, and
// the subset fails alike when its last step leaves the editor painting otherwise.)
bool FailsAlike(const std::vector<TStep>& steps, TCheck check) {
  TWorld world;
  world.SetFreshCheck(false);
  if (TFailure f = world.RunAll(steps); f.Check != ckNone) return f.Check == check;
  return check == ckFresh && !world.FreshDiffNow().empty();
}

// The fewest steps that still fail the check: delta debugging over the step list.
std::vector<TStep> Reduce(std::vector<TStep> steps, TCheck check) {
  return randomwalk::Reduce(std::move(steps),
                            [check](const std::vector<TStep>& rest) { return FailsAlike(rest, check); });
}

std::string Listing(const std::vector<TStep>& steps) {
  std::string out;
  for (const TStep& s : steps) out += "    " + Describe(s) + "\n";
  return out;
}

class CodeEditRepaintRandom : public CodeEditTest {
 protected:
  // Runs `count` steps of the seed; on a failure reports it with its reduced steps.
  bool RunSeed(unsigned seed, int count) {
    TStepSource source(seed);
    std::vector<TStep> steps;
    TFailure failure;
    {
      TWorld world;
      for (int i = 0; i < count && failure.Check == ckNone; ++i) {
        steps.push_back(source.Next());
        failure = world.Run(steps.back(), steps.size() - 1);
      }
    }
    if (failure.Check == ckNone) return true;
    std::vector<TStep> reduced =
        std::getenv("TALVIK_REPAINT_NO_REDUCE") ? steps : Reduce(steps, failure.Check);
    TWorld world;
    world.SetScreenshots(ScreenshotDir() + "/editor-repaint-seed" + std::to_string(seed));
    TFailure last = world.RunAll(reduced);
    ADD_FAILURE() << "seed " << seed << ", step " << failure.Step + 1 << ": " << kCheckNames[failure.Check]
                  << " (" << failure.What << ")\nreduced to " << reduced.size()
                  << " steps, failing after step " << last.Step + 1 << " (" << last.What << "):\n"
                  << Listing(reduced);
    return false;
  }
};

TEST_F(CodeEditRepaintRandom, ShowsWhatAFullPaintShows) {
  for (unsigned seed : {1u, 2u, 3u})
    if (!RunSeed(seed, 100)) return;
}

// Seeds and steps from the environment: TALVIK_REPAINT_SEEDS="first-last" (or one seed) and
// TALVIK_REPAINT_STEPS (2000 by default). Skipped without them.
TEST_F(CodeEditRepaintRandom, LongRun) {
  unsigned first = 0, last = 0;
  if (!randomwalk::SeedsFromEnv("TALVIK_REPAINT_SEEDS", first, last))
    GTEST_SKIP() << "TALVIK_REPAINT_SEEDS is not set";
  const char* steps = std::getenv("TALVIK_REPAINT_STEPS");
  int failed = 0;
  for (unsigned seed = first; seed <= last; ++seed) {
    if (!RunSeed(seed, steps ? std::atoi(steps) : 2000)) ++failed;
    std::cerr << "seed " << seed << (failed ? " (failures so far: " + std::to_string(failed) + ")" : " clean")
              << std::endl;
  }
}

// ---------------------------------------------------------------- reduced failures, kept

struct TKeptCase {
  const char* name;
  std::vector<TStep> steps;
};

void PrintTo(const TKeptCase& c, std::ostream* out) {
  *out << c.name;
}

class CodeEditRepaintKept : public CodeEditTest, public ::testing::WithParamInterface<TKeptCase> {};

TEST_P(CodeEditRepaintKept, ShowsWhatAFullPaintShows) {
  TWorld world;
  world.SetScreenshots(ScreenshotDir() + "/editor-repaint-" + GetParam().name);
  TFailure f = world.RunAll(GetParam().steps);
  EXPECT_TRUE(f.Check == ckNone) << "after step " << f.Step + 1 << ": " << kCheckNames[f.Check] << " ("
                                 << f.What << ")";
}

const TKeptCase kKept[] = {
    // undo puts the block it clears straight into place: the rows of the one shown must paint again
    {"UndoClearsTheSelectionShown",
     {MakeStep(skType, 671, 346, 1, 40, "--", scLeftChar, 8),
      MakeStep(skSelect, 687, 3677, 453, 187, "", scLeftChar, -9),
      MakeStep(skUndo, 16, 2210, 0, 2647, "", scNone, 0)}},
    // a font of other rows in the window with a gutter of the same width
    {"FontChangeUpdatesTheScrollBars", {MakeStep(skFont, 766, 2063, 1, 3356, "", scNone, 0)}},
    // the text scrolled right keeps its offset in characters of the new width
    {"FontChangeWhileScrolledRight",
     {MakeStep(skReturn, 105, 1546, 1, 2534, "", scLeftChar, 116),
      MakeStep(skFont, 766, 2063, 1, 3356, "", scNone, 0)}},
    {"TabWidthUnderWordWrapUpdatesTheScrollBars",
     {MakeStep(skWordWrap, 178, 1281, 0, 1055, "", scNone, 0),
      MakeStep(skTabWidth, 776, 345, 1, 3920, "", scNone, 0)}},
    // the dialect of the highlighter in use changes in place: '#' and '$' no longer make words
    {"DialectChangeWrapsAtTheNewWordCharacters",
     {MakeStep(skWordWrap, 48, 3737, 1, 2360, "", scTopLine, -35),
      MakeStep(skWidth, 420, 2906, 0, 2604, "", scTopLine, 5),
      MakeStep(skDialect, 0, 2491, 1, 2891, "", scTopLine, -16)}},
    // a tab mark cut by the clip of a paint after a scroll, or by a selection to the row's end
    {"TabMarkAfterAScrollWithASelection",
     {MakeStep(skSpecialChars, 233, 2088, 0, 3879, "", scNone, 0),
      MakeStep(skRedo, 67, 2891, 1, 1500, "", scLeftChar, 7),
      MakeStep(skSelect, 694, 3803, 409, 1153, "", scLeftChar, -7)}},
    // the line end's mark in the first column shown (line 3 has 34 characters), then scrolled right
    {"LineEndMarkInTheFirstColumnScrolled",
     {MakeStep(skSpecialChars, 0, 0, 0, 0, "", scLeftChar, 34),
      MakeStep(skWidth, 280, 0, 0, 0, "", scLeftChar, -10)}},
    // a bold glyph reaches into the next cell: after a scroll left, into the first column shown
    {"GlyphEdgeScrolledIntoTheFirstColumn",
     {MakeStep(skFont, 861, 1225, 0, 1760, "", scNone, 0),
      MakeStep(skWidth, 280, 2455, 0, 370, "", scLeftChar, 4)}},
    {"ColumnBlockDeleted",
     {MakeStep(skPaste, 666, 2140, 0, 1677, "x\n\n'y", scLeftChar, -4),
      MakeStep(skSelect, 425, 1149, 700, 3789, "", scNone, 0),
      MakeStep(skBackspace, 301, 1696, 0, 1802, "", scTopLine, 5)}},
    // scrolled right as far as a narrow editor goes, then widened: the columns shown stay in range
    {"WidenedWhileScrolledRightToTheEnd",
     {MakeStep(skWidth, 0, 0, 0, 0, "", scLeftChar, 1200), MakeStep(skWidth, 280, 0, 0, 0, "", scNone, 0)}},
    // a block past the end of the empty line 7, then normal mode, where nothing of it is left
    {"ColumnBlockPastTheLineEndThenNormalMode",
     {MakeStep(skSelect, 2, 6, 2, 5, "", scNone, 0), MakeStep(skSelect, 0, 6, 0, 0, "", scNone, 0)}},
    // with special characters shown, a blank after a comment keeps its own upright mark in a paint
    // of a part of the row as in a whole one
    {"BlankMarksAfterACommentOnTheLongLine",
     {MakeStep(skWordWrap, 186, 1362, 1, 420, "", scLeftChar, 7),
      MakeStep(skPaste, 226, 3226, 0, 1291, "a\nb", scLeftChar, 641),
      MakeStep(skSelect, 500, 1787, 2837, 2146, "", scLongLine, 18775),
      MakeStep(skPaste, 441, 3292, 1, 250, "p", scNone, 0),
      MakeStep(skSpecialChars, 234, 560, 1, 2106, "", scNone, 0),
      MakeStep(skWordWrap, 122, 2636, 0, 3982, "", scLongLine, 6168),
      MakeStep(skReturn, 779, 309, 1, 2895, "", scLongLine, 82529),
      MakeStep(skType, 598, 1833, 1, 1752, "\t", scNone, 0),
      MakeStep(skUndo, 988, 2525, 0, 366, "", scNone, 0)}},
    // with special characters shown, the marks of blanks after a red symbol keep their own colour when
    // a scroll paints the row from them on
    {"BlankMarksAfterASymbolScrolled",
     {MakeStep(skHighlighter, 796, 973, 1, 3883, "", scLeftChar, -10),
      MakeStep(skSelect, 952, 1129, 2, 3333, "", scLongLine, 40097),
      MakeStep(skFarComment, 726, 3386, 0, 1202, "", scNone, 0),
      MakeStep(skType, 418, 1912, 1, 1545, "𝟘", scNone, 0),
      MakeStep(skSpecialChars, 436, 494, 1, 153, "", scLeftChar, 5)}},
    // scrolled far right, the text area paints alone: the right edge's line drawn across a row
    // selected past its end leaves the next selected row (an empty line) in the selection's colour
    {"SelectedRowsAcrossTheRightEdgeScrolledRight",
     {MakeStep(skSelect, 87, 563, 2085, 3498, "", scTopLine, 0),
      MakeStep(skReturn, 899, 3599, 0, 3956, "", scLongLine, 61284),
      MakeStep(skPaste, 736, 3343, 0, 1207, "a\nb", scNone, 0),
      MakeStep(skWordWrap, 659, 1386, 0, 3046, "", scNone, 0),
      MakeStep(skPaste, 921, 3793, 0, 2205, "a\nb", scNone, 0),
      MakeStep(skSelect, 472, 652, 1943, 1676, "", scLongLine, 98087),
      MakeStep(skBackspace, 159, 3584, 1, 2624, "", scNone, 0),
      MakeStep(skSelect, 946, 1661, 3838, 289, "", scNone, 0),
      MakeStep(skType, 222, 1460, 1, 1774, " ", scLeftChar, 806),
      MakeStep(skWordWrap, 385, 2853, 1, 3733, "", scLeftChar, -3),
      MakeStep(skFont, 842, 3852, 0, 871, "", scLongLine, 18953),
      MakeStep(skSelect, 984, 255, 3521, 1242, "", scLongLine, 57274)}},
};

INSTANTIATE_TEST_SUITE_P(Steps, CodeEditRepaintKept, ::testing::ValuesIn(kKept),
                         [](const ::testing::TestParamInfo<TKeptCase>& info) { return info.param.name; });

}  // namespace
