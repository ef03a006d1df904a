// A top-level window's picture held in memory, for a test to compare with another one. A test never
// reads a picture back from a file as its own data: another test process may be writing the same
// file at that moment. The file is for people to look at.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/gui/Graphics.h"
#include "platform/gui/WinManager.h"

namespace guitest {

struct Picture {
  int width = 0, height = 0;
  std::vector<COLORREF> pixels;  // row by row from the top left

  // The colour at a point; CLR_INVALID outside the picture.
  COLORREF At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
  }
  bool operator==(const Picture&) const = default;
};

// The window's picture now (pending paints first, the caret drawn in), also written to Shot (a PNG
// path) when one is given.
inline Picture WindowPicture(HWND topLevel, const std::string& shot = {}) {
  Picture p;
  EXPECT_TRUE(talvik::gui::WindowPixels(topLevel, p.pixels, p.width, p.height)) << "no window to picture";
  if (!shot.empty()) {
    EXPECT_TRUE(talvik::gui::SavePixelsPng(p.pixels, p.width, p.height, shot)) << shot;
  }
  return p;
}

// How two pictures differ: empty when they are the same, else their sizes or the number of pixels
// that differ and the first of them ("3 pixels differ, the first at (10, 4): #FF0000 against
// #FFFFFF").
inline std::string PictureDifference(const Picture& a, const Picture& b) {
  if (a.width != b.width || a.height != b.height)
    return std::to_string(a.width) + "x" + std::to_string(a.height) + " against " + std::to_string(b.width) +
           "x" + std::to_string(b.height);
  std::size_t differing = 0, first = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i)
    if (a.pixels[i] != b.pixels[i] && differing++ == 0) first = i;
  if (differing == 0) return {};
  const auto colour = [](COLORREF c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return std::string(text);
  };
  const int x = static_cast<int>(first % static_cast<std::size_t>(a.width));
  const int y = static_cast<int>(first / static_cast<std::size_t>(a.width));
  return std::to_string(differing) + " pixels differ, the first at (" + std::to_string(x) + ", " +
         std::to_string(y) + "): " + colour(a.pixels[first]) + " against " + colour(b.pixels[first]);
}

}  // namespace guitest
