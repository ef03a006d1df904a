// The floor of the painting layer: the pixels of a workload drawn with the toolkit's painter as
// directly as it allows (texts shaped once, colours and fonts set once), so that what the layer's
// own drawing of the same pixels costs can be measured against it in one run.
#pragma once

#include <memory>
#include <string>

#include "platform/gui/Windows.h"

namespace talvik::gui {

class TPaintFloor {
 public:
  TPaintFloor(int width, int height, COLORREF fill);
  ~TPaintFloor();
  TPaintFloor(const TPaintFloor&) = delete;
  TPaintFloor& operator=(const TPaintFloor&) = delete;

  // Shapes a text once with a font; answers its number for DrawPrepared.
  int Prepare(HFONT font, const std::string& text);
  // Likewise for the text cut to `room` pixels with "..." after it, as an end ellipsis cuts it.
  int PrepareEllipsised(HFONT font, const std::string& text, int room);
  // The width of a prepared text.
  int PreparedWidth(int text) const;
  void Fill(const RECT& r, COLORREF colour);
  // A prepared text with the top of its cell at (x, y), clipped to `clip`.
  void DrawPrepared(int text, int x, int y, const RECT& clip, COLORREF colour);
  // A text shaped now, as one that changes between paints is, with the top of its cell at (x, y).
  void DrawNow(HFONT font, const std::string& text, int x, int y, COLORREF colour);
  // Takes the picture of a top-level window as it is now (the floor's size becomes the window's).
  void Capture(HWND topLevel);
  // Puts the floor's picture into a top-level window's image, as a paint of the window would.
  void PaintInto(HWND topLevel);
  // The pixels of `area` that differ from the window's image, the area's top-left corner being at
  // `at` in the window.
  long DifferingPixels(HWND topLevel, const RECT& area, POINT at);
  bool SavePng(const std::string& path);

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace talvik::gui
