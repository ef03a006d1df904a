// Plain geometry types shared by the whole system: points, sizes and rectangles.
#pragma once

#include <algorithm>
#include <climits>

struct TPoint {
  int X = 0;
  int Y = 0;
  constexpr TPoint() = default;
  constexpr TPoint(int x, int y) : X(x), Y(y) {}
  friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
  int cx = 0;
  int cy = 0;
  constexpr TSize() = default;
  constexpr TSize(int w, int h) : cx(w), cy(h) {}
  friend constexpr bool operator==(const TSize&, const TSize&) = default;
};

// Right and Bottom are exclusive, as everywhere in the window layer.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  constexpr TRect() = default;
  constexpr TRect(int l, int t, int r, int b) : Left(l), Top(t), Right(r), Bottom(b) {}
  constexpr int Width() const { return Right - Left; }
  constexpr int Height() const { return Bottom - Top; }
  constexpr TPoint TopLeft() const { return {Left, Top}; }
  constexpr TPoint BottomRight() const { return {Right, Bottom}; }
  constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  constexpr bool Contains(TPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
  friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

constexpr TPoint Point(int x, int y) {
  return {x, y};
}
constexpr TRect Rect(int left, int top, int right, int bottom) {
  return {left, top, right, bottom};
}
// The far edges are held within the range of int: a place and a size near its ends (a stored value
// gone wrong) give the nearest rectangle that can be told.
constexpr TRect Bounds(int left, int top, int width, int height) {
  auto edge = [](long long start, long long extent) {
    return static_cast<int>(std::clamp<long long>(start + extent, INT_MIN, INT_MAX));
  };
  return {left, top, edge(left, width), edge(top, height)};
}

constexpr bool PtInRect(const TRect& r, TPoint p) {
  return r.Contains(p);
}
constexpr bool IsRectEmpty(const TRect& r) {
  return r.IsEmpty();
}
constexpr bool EqualRect(const TRect& a, const TRect& b) {
  return a == b;
}

// Intersection; an empty result is the all-zero rectangle and the function answers false.
constexpr bool IntersectRect(TRect& dst, const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
  if (r.IsEmpty()) {
    dst = TRect{};
    return false;
  }
  dst = r;
  return true;
}

// Union; empty operands do not count.
constexpr bool UnionRect(TRect& dst, const TRect& a, const TRect& b) {
  if (a.IsEmpty()) {
    dst = b.IsEmpty() ? TRect{} : b;
  } else if (b.IsEmpty()) {
    dst = a;
  } else {
    dst = {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
           std::max(a.Bottom, b.Bottom)};
  }
  return !dst.IsEmpty();
}

constexpr void OffsetRect(TRect& r, int dx, int dy) {
  r.Left += dx;
  r.Right += dx;
  r.Top += dy;
  r.Bottom += dy;
}

constexpr void InflateRect(TRect& r, int dx, int dy) {
  r.Left -= dx;
  r.Right += dx;
  r.Top -= dy;
  r.Bottom += dy;
}
