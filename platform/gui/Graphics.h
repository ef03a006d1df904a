// Painting: the GDI operations of the window layer and the class library's canvas, font, pen, brush
// and bitmap. Device contexts draw into window images and bitmaps; QPainter does the pixels.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gui/Windows.h"
#include "platform/rtl/Classes.h"

// ---------------------------------------------------------------- colours

using TColor = std::int32_t;
constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000);
constexpr TColor clScrollBar = clSystemColor | COLOR_SCROLLBAR,
                 clBackground = clSystemColor | COLOR_BACKGROUND,
                 clActiveCaption = clSystemColor | COLOR_ACTIVECAPTION,
                 clInactiveCaption = clSystemColor | COLOR_INACTIVECAPTION,
                 clMenu = clSystemColor | COLOR_MENU, clWindow = clSystemColor | COLOR_WINDOW,
                 clWindowFrame = clSystemColor | COLOR_WINDOWFRAME,
                 clMenuText = clSystemColor | COLOR_MENUTEXT, clWindowText = clSystemColor | COLOR_WINDOWTEXT,
                 clCaptionText = clSystemColor | COLOR_CAPTIONTEXT,
                 clActiveBorder = clSystemColor | COLOR_ACTIVEBORDER,
                 clInactiveBorder = clSystemColor | COLOR_INACTIVEBORDER,
                 clAppWorkSpace = clSystemColor | COLOR_APPWORKSPACE,
                 clHighlight = clSystemColor | COLOR_HIGHLIGHT,
                 clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT,
                 clBtnFace = clSystemColor | COLOR_BTNFACE, clBtnShadow = clSystemColor | COLOR_BTNSHADOW,
                 clGrayText = clSystemColor | COLOR_GRAYTEXT, clBtnText = clSystemColor | COLOR_BTNTEXT,
                 clInactiveCaptionText = clSystemColor | COLOR_INACTIVECAPTIONTEXT,
                 clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT,
                 cl3DDkShadow = clSystemColor | COLOR_3DDKSHADOW, cl3DLight = clSystemColor | COLOR_3DLIGHT,
                 clInfoText = clSystemColor | COLOR_INFOTEXT, clInfoBk = clSystemColor | COLOR_INFOBK,
                 clHotLight = clSystemColor | COLOR_HOTLIGHT,
                 clGradientActiveCaption = clSystemColor | COLOR_GRADIENTACTIVECAPTION,
                 clGradientInactiveCaption = clSystemColor | COLOR_GRADIENTINACTIVECAPTION,
                 clMenuHighlight = clSystemColor | COLOR_MENUHILIGHT,
                 clMenuBar = clSystemColor | COLOR_MENUBAR;
constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clLtGray = 0xC0C0C0,
                 clDkGray = 0x808080, clWhite = 0xFFFFFF, clMoneyGreen = 0xC0DCC0, clSkyBlue = 0xF0CAA6,
                 clCream = 0xF0FBFF, clMedGray = 0xA4A0A0, clNone = 0x1FFFFFFF, clDefault = 0x20000000;

// The RGB value of a colour; system colours come from the system-colour table.
COLORREF ColorToRGB(TColor color);
std::string ColorToString(TColor color);
// The colour of a name ("clRed", without regard to case); false when the name is unknown.
bool IdentToColor(std::string_view ident, TColor& color);
// A colour name or number ("clRed", "$0000FF", "255"); EConvertError for anything else.
TColor StringToColor(std::string_view s);
COLORREF GetNearestColor(HDC dc, COLORREF color);
bool ThemesEnabled();

// ---------------------------------------------------------------- GDI objects and device contexts

constexpr int LF_FACESIZE = 32;
struct LOGFONT {
  int lfHeight = 0;  // < 0: character height in pixels; > 0: cell height
  int lfWidth = 0;
  int lfEscapement = 0;  // tenths of a degree, counter-clockwise
  int lfOrientation = 0;
  int lfWeight = 400;
  BYTE lfItalic = 0;
  BYTE lfUnderline = 0;
  BYTE lfStrikeOut = 0;
  BYTE lfCharSet = 1;  // DEFAULT_CHARSET
  BYTE lfOutPrecision = 0;
  BYTE lfClipPrecision = 0;
  BYTE lfQuality = 0;
  BYTE lfPitchAndFamily = 0;
  std::string lfFaceName;
};
constexpr int FW_NORMAL = 400, FW_BOLD = 700;
constexpr BYTE ANSI_CHARSET = 0, DEFAULT_CHARSET = 1, SYMBOL_CHARSET = 2, RUSSIAN_CHARSET = 204,
               OEM_CHARSET = 255;
constexpr BYTE OUT_DEFAULT_PRECIS = 0, OUT_TT_ONLY_PRECIS = 7, DEFAULT_QUALITY = 0,
               NONANTIALIASED_QUALITY = 3, ANTIALIASED_QUALITY = 4, CLEARTYPE_QUALITY = 5;
constexpr BYTE DEFAULT_PITCH = 0, FIXED_PITCH = 1, VARIABLE_PITCH = 2, FF_DONTCARE = 0, FF_ROMAN = 0x10,
               FF_SWISS = 0x20, FF_MODERN = 0x30;

// What SPI_GETNONCLIENTMETRICS answers (the fonts of menus, captions, status lines and messages).
struct NONCLIENTMETRICS {
  UINT cbSize = sizeof(NONCLIENTMETRICS);
  int iBorderWidth = 1, iScrollWidth = 17, iScrollHeight = 17, iCaptionWidth = 18, iCaptionHeight = 18;
  LOGFONT lfCaptionFont;
  int iSmCaptionWidth = 12, iSmCaptionHeight = 15;
  LOGFONT lfSmCaptionFont;
  int iMenuWidth = 18, iMenuHeight = 18;
  LOGFONT lfMenuFont;
  LOGFONT lfStatusFont;
  LOGFONT lfMessageFont;
};

struct TEXTMETRIC {
  int tmHeight = 0, tmAscent = 0, tmDescent = 0, tmInternalLeading = 0, tmExternalLeading = 0;
  int tmAveCharWidth = 0, tmMaxCharWidth = 0, tmWeight = 0, tmOverhang = 0;
  int tmDigitizedAspectX = 96, tmDigitizedAspectY = 96;
  char32_t tmFirstChar = 32, tmLastChar = 0xFFFF, tmDefaultChar = '?', tmBreakChar = ' ';
  BYTE tmItalic = 0, tmUnderlined = 0, tmStruckOut = 0, tmPitchAndFamily = 0, tmCharSet = 1;
};
constexpr BYTE TMPF_FIXED_PITCH = 1;  // set for variable-pitch fonts, as the name never said
struct OUTLINETEXTMETRIC {
  TEXTMETRIC otmTextMetrics;
  int otmsCharSlopeRise = 1;
  int otmsCharSlopeRun = 0;
  int otmAscent = 0, otmDescent = 0;
};
struct ABC {
  int abcA = 0;
  UINT abcB = 0;
  int abcC = 0;
};

struct BITMAP {
  int bmWidth = 0;
  int bmHeight = 0;
  int bmWidthBytes = 0;
  int bmPlanes = 1;
  int bmBitsPixel = 32;
};

constexpr int PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4, PS_NULL = 5,
              PS_INSIDEFRAME = 6;
constexpr int BS_SOLID = 0, BS_NULL = 1, BS_HOLLOW = 1, BS_HATCHED = 2, BS_PATTERN = 3;
constexpr int HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2, HS_BDIAGONAL = 3, HS_CROSS = 4,
              HS_DIAGCROSS = 5;
constexpr int WHITE_BRUSH = 0, LTGRAY_BRUSH = 1, GRAY_BRUSH = 2, DKGRAY_BRUSH = 3, BLACK_BRUSH = 4,
              NULL_BRUSH = 5, HOLLOW_BRUSH = 5, WHITE_PEN = 6, BLACK_PEN = 7, NULL_PEN = 8,
              OEM_FIXED_FONT = 10, ANSI_FIXED_FONT = 11, ANSI_VAR_FONT = 12, SYSTEM_FONT = 13,
              DEFAULT_GUI_FONT = 17;

HPEN CreatePen(int style, int width, COLORREF color);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateHatchBrush(int hatch, COLORREF color);
HBRUSH CreatePatternBrush(HBITMAP bitmap);  // copies the bitmap
HFONT CreateFontIndirect(const LOGFONT& lf);
HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                 DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                 DWORD quality, DWORD pitchAndFamily, const std::string& face);
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HGDIOBJ GetStockObject(int index);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC dc, UINT type);
constexpr UINT OBJ_PEN = 1, OBJ_BRUSH = 2, OBJ_DC = 3, OBJ_FONT = 6, OBJ_BITMAP = 7, OBJ_REGION = 8,
               OBJ_MEMDC = 10;
UINT GetObjectType(HGDIOBJ object);
bool DeleteObject(HGDIOBJ object);
bool GetObject(HGDIOBJ object, BITMAP& out);
bool GetObject(HGDIOBJ object, LOGFONT& out);

HDC CreateCompatibleDC(HDC dc);  // a memory DC with a 1x1 bitmap selected
bool DeleteDC(HDC dc);
int SaveDC(HDC dc);
bool RestoreDC(HDC dc, int saved);  // saved < 0: relative to the newest
HWND WindowFromDC(HDC dc);

constexpr int TRANSPARENT = 1, OPAQUE = 2;
constexpr int R2_BLACK = 1, R2_NOTMERGEPEN = 2, R2_MASKNOTPEN = 3, R2_NOTCOPYPEN = 4, R2_MASKPENNOT = 5,
              R2_NOT = 6, R2_XORPEN = 7, R2_NOTMASKPEN = 8, R2_MASKPEN = 9, R2_NOTXORPEN = 10, R2_NOP = 11,
              R2_MERGENOTPEN = 12, R2_COPYPEN = 13, R2_MERGEPENNOT = 14, R2_MERGEPEN = 15, R2_WHITE = 16;
constexpr UINT TA_NOUPDATECP = 0, TA_UPDATECP = 1, TA_LEFT = 0, TA_RIGHT = 2, TA_CENTER = 6, TA_TOP = 0,
               TA_BOTTOM = 8, TA_BASELINE = 24, TA_RTLREADING = 256;
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
int SetROP2(HDC dc, int mode);
int GetROP2(HDC dc);
UINT SetTextAlign(HDC dc, UINT align);
UINT GetTextAlign(HDC dc);
int SetTextCharacterExtra(HDC dc, int extra);
int GetTextCharacterExtra(HDC dc);
bool SetBrushOrgEx(HDC dc, int x, int y, POINT* old);

// Mapping: MM_TEXT, or MM_ANISOTROPIC with window and viewport extents (negative for mirroring).
constexpr int MM_TEXT = 1, MM_ISOTROPIC = 7, MM_ANISOTROPIC = 8;
int SetMapMode(HDC dc, int mode);
int GetMapMode(HDC dc);
bool SetWindowOrgEx(HDC dc, int x, int y, POINT* old);
bool GetWindowOrgEx(HDC dc, POINT* p);
bool OffsetWindowOrgEx(HDC dc, int dx, int dy, POINT* old);
bool SetWindowExtEx(HDC dc, int x, int y, SIZE* old);
bool SetViewportOrgEx(HDC dc, int x, int y, POINT* old);
bool GetViewportOrgEx(HDC dc, POINT* p);
bool OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* old);
bool SetViewportExtEx(HDC dc, int x, int y, SIZE* old);
bool LPtoDP(HDC dc, POINT* points, int count);
bool DPtoLP(HDC dc, POINT* points, int count);

constexpr int LOGPIXELSX = 88, LOGPIXELSY = 90, BITSPIXEL = 12, PLANES = 14, NUMCOLORS = 24, HORZRES = 8,
              VERTRES = 10, TECHNOLOGY = 2, RASTERCAPS = 38;
int GetDeviceCaps(HDC dc, int index);

// Regions (device coordinates).
constexpr int ERROR = 0, NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3;
constexpr int RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5;
constexpr int ALTERNATE = 1, WINDING = 2;
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT& r);
HRGN CreatePolygonRgn(const POINT* points, int count, int fillMode);
HRGN CreateEllipticRgn(int left, int top, int right, int bottom);
int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode);
int OffsetRgn(HRGN region, int dx, int dy);
bool PtInRegion(HRGN region, int x, int y);
bool RectInRegion(HRGN region, const RECT& r);
int GetRgnBox(HRGN region, RECT& box);
bool EqualRgn(HRGN a, HRGN b);
bool SetRectRgn(HRGN region, int left, int top, int right, int bottom);
bool FillRgn(HDC dc, HRGN region, HBRUSH brush);
bool FrameRgn(HDC dc, HRGN region, HBRUSH brush, int width, int height);

// Clipping.
int SelectClipRgn(HDC dc, HRGN region);  // nullptr: no clipping of our own
int ExtSelectClipRgn(HDC dc, HRGN region, int mode);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
int GetClipBox(HDC dc, RECT& box);
int GetClipRgn(HDC dc, HRGN region);  // 1 with a clip region of our own, 0 without
bool RectVisible(HDC dc, const RECT& r);
bool PtVisible(HDC dc, int x, int y);

// Drawing.
bool MoveToEx(HDC dc, int x, int y, POINT* old);
bool LineTo(HDC dc, int x, int y);
bool GetCurrentPositionEx(HDC dc, POINT* p);
bool Polyline(HDC dc, const POINT* points, int count);
bool PolyPolyline(HDC dc, const POINT* points, const DWORD* counts, int polylines);
bool Polygon(HDC dc, const POINT* points, int count);
bool Rectangle(HDC dc, int left, int top, int right, int bottom);
bool RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height);
bool Ellipse(HDC dc, int left, int top, int right, int bottom);
int FillRect(HDC dc, const RECT& r, HBRUSH brush);
int FrameRect(HDC dc, const RECT& r, HBRUSH brush);
bool InvertRect(HDC dc, const RECT& r);
bool DrawFocusRect(HDC dc, const RECT& r);
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC dc, int x, int y);
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// Block transfers with raster operations.
constexpr DWORD SRCCOPY = 0x00CC0020, SRCPAINT = 0x00EE0086, SRCAND = 0x008800C6, SRCINVERT = 0x00660046,
                SRCERASE = 0x00440328, NOTSRCCOPY = 0x00330008, NOTSRCERASE = 0x001100A6,
                MERGECOPY = 0x00C000CA, MERGEPAINT = 0x00BB0226, PATCOPY = 0x00F00021, PATPAINT = 0x00FB0A09,
                PATINVERT = 0x005A0049, DSTINVERT = 0x00550009, BLACKNESS = 0x00000042,
                WHITENESS = 0x00FF0062;
bool BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
bool StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop);
bool PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
// Copies `src` to `dest`, leaving out the pixels of the transparent colour.
bool TransparentBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                    int srcHeight, COLORREF transparent);

// Text.
constexpr UINT ETO_OPAQUE = 0x0002, ETO_CLIPPED = 0x0004, ETO_RTLREADING = 0x0080;
bool TextOut(HDC dc, int x, int y, const std::string& text);
// `dx` gives the advance of each character (as many entries as the text has characters).
bool ExtTextOut(HDC dc, int x, int y, UINT options, const RECT* r, const std::string& text,
                const int* dx = nullptr);
bool GetTextMetrics(HDC dc, TEXTMETRIC& tm);
bool GetOutlineTextMetrics(HDC dc, OUTLINETEXTMETRIC& otm);
bool GetTextExtentPoint32(HDC dc, const std::string& text, SIZE& size);
bool GetCharABCWidths(HDC dc, char32_t first, char32_t last, ABC* abc);
bool GetTextFace(HDC dc, std::string& face);

constexpr UINT DT_TOP = 0x0, DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4,
               DT_BOTTOM = 0x8, DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_EXPANDTABS = 0x40,
               DT_TABSTOP = 0x80, DT_NOCLIP = 0x100, DT_EXTERNALLEADING = 0x200, DT_CALCRECT = 0x400,
               DT_NOPREFIX = 0x800, DT_INTERNAL = 0x1000, DT_EDITCONTROL = 0x2000, DT_PATH_ELLIPSIS = 0x4000,
               DT_END_ELLIPSIS = 0x8000, DT_MODIFYSTRING = 0x10000, DT_RTLREADING = 0x20000,
               DT_WORD_ELLIPSIS = 0x40000, DT_HIDEPREFIX = 0x100000, DT_PREFIXONLY = 0x200000;
struct DRAWTEXTPARAMS {
  UINT cbSize = sizeof(DRAWTEXTPARAMS);
  int iTabLength = 8;  // in average character widths
  int iLeftMargin = 0;
  int iRightMargin = 0;
  UINT uiLengthDrawn = 0;
};
// Answers the height of the text; with DT_CALCRECT the rectangle grows or shrinks to fit it.
int DrawText(HDC dc, const std::string& text, RECT& r, UINT format);
int DrawTextEx(HDC dc, const std::string& text, RECT& r, UINT format, DRAWTEXTPARAMS* params);

// A drawing call seen on a recording device context: text-outs (with their rectangle, text,
// colours and font), fills (rectangle and colour) and lines (ends and pen colour).
struct TDrawRecord {
  enum TKind { drText, drFill, drLine };
  TKind Kind = drText;
  RECT Rect;
  std::string Text;
  COLORREF TextColor = 0;
  COLORREF BkColor = 0;
  bool Opaque = false;
  LOGFONT Font;
  POINT From, To;
};
// Records the text-outs, fills and lines drawn on `dc` into `records` (nullptr stops recording);
// the drawing itself still happens.
void SetDrawRecording(HDC dc, std::vector<TDrawRecord>* records);
// The classic 3-D look.
constexpr UINT BDR_RAISEDOUTER = 0x1, BDR_SUNKENOUTER = 0x2, BDR_RAISEDINNER = 0x4, BDR_SUNKENINNER = 0x8,
               BDR_OUTER = 0x3, BDR_INNER = 0xC, BDR_RAISED = 0x5, BDR_SUNKEN = 0xA,
               EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER,
               EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER,
               EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER, EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
constexpr UINT BF_LEFT = 0x1, BF_TOP = 0x2, BF_RIGHT = 0x4, BF_BOTTOM = 0x8, BF_TOPLEFT = 0x3,
               BF_TOPRIGHT = 0x6, BF_BOTTOMLEFT = 0x9, BF_BOTTOMRIGHT = 0xC, BF_RECT = 0xF,
               BF_DIAGONAL = 0x10, BF_MIDDLE = 0x800, BF_SOFT = 0x1000, BF_ADJUST = 0x2000, BF_FLAT = 0x4000,
               BF_MONO = 0x8000;
bool DrawEdge(HDC dc, RECT& r, UINT edge, UINT flags);
constexpr UINT DFC_CAPTION = 1, DFC_MENU = 2, DFC_SCROLL = 3, DFC_BUTTON = 4;
constexpr UINT DFCS_CAPTIONCLOSE = 0x0, DFCS_CAPTIONMIN = 0x1, DFCS_CAPTIONMAX = 0x2,
               DFCS_CAPTIONRESTORE = 0x3, DFCS_CAPTIONHELP = 0x4, DFCS_MENUARROW = 0x0, DFCS_MENUCHECK = 0x1,
               DFCS_MENUBULLET = 0x2, DFCS_SCROLLUP = 0x0, DFCS_SCROLLDOWN = 0x1, DFCS_SCROLLLEFT = 0x2,
               DFCS_SCROLLRIGHT = 0x3, DFCS_SCROLLCOMBOBOX = 0x5, DFCS_SCROLLSIZEGRIP = 0x8,
               DFCS_BUTTONCHECK = 0x0, DFCS_BUTTONRADIOIMAGE = 0x1, DFCS_BUTTONRADIOMASK = 0x2,
               DFCS_BUTTONRADIO = 0x4, DFCS_BUTTON3STATE = 0x8, DFCS_BUTTONPUSH = 0x10, DFCS_INACTIVE = 0x100,
               DFCS_PUSHED = 0x200, DFCS_CHECKED = 0x400, DFCS_TRANSPARENT = 0x800, DFCS_HOT = 0x1000,
               DFCS_ADJUSTRECT = 0x2000, DFCS_FLAT = 0x4000, DFCS_MONO = 0x8000;
bool DrawFrameControl(HDC dc, RECT& r, UINT type, UINT state);
constexpr UINT DC_ACTIVE = 0x1, DC_SMALLCAP = 0x2, DC_ICON = 0x4, DC_TEXT = 0x8, DC_GRADIENT = 0x20;
// A classic caption bar (active or inactive colours, gradient, the window's text).
bool DrawCaption(HWND hwnd, HDC dc, const RECT& r, UINT flags);

// ---------------------------------------------------------------- the class library's graphics objects

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;
enum TFontPitch { fpDefault, fpVariable, fpFixed };
using TFontCharset = BYTE;
enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode {
  pmBlack,
  pmWhite,
  pmNop,
  pmNot,
  pmCopy,
  pmNotCopy,
  pmMergePenNot,
  pmMaskPenNot,
  pmMergeNotPen,
  pmMaskNotPen,
  pmMerge,
  pmNotMerge,
  pmMask,
  pmNotMask,
  pmXor,
  pmNotXor
};
enum TBrushStyle {
  bsSolid,
  bsClear,
  bsHorizontal,
  bsVertical,
  bsFDiagonal,
  bsBDiagonal,
  bsCross,
  bsDiagCross
};

class TBitmap;

// Common base: a handle made on demand and a change event.
class TGraphicsObject : public TPersistent {
  TALVIK_CLASS(TGraphicsObject, TPersistent)
  ~TGraphicsObject() override;
  TNotifyEvent OnChange;

 protected:
  virtual void Changed();
  void FreeHandle();
  HGDIOBJ handle_ = nullptr;
  bool ownsHandle_ = true;
};

class TFont : public TGraphicsObject {
  TALVIK_CLASS(TFont, TGraphicsObject)
  TFont();
  void Assign(TPersistent* Source) override;

  HFONT Handle();
  void SetHandle(HFONT Value);  // takes the font's description; the handle stays the caller's
  const std::string& Name() const { return name_; }
  void SetName(const std::string& Value);
  int Height() const { return height_; }
  void SetHeight(int Value);
  int Size() const;
  void SetSize(int Value);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles Value);
  TColor Color() const { return color_; }
  void SetColor(TColor Value);
  TFontCharset Charset() const { return charset_; }
  void SetCharset(TFontCharset Value);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch Value);
  int Orientation() const { return orientation_; }  // escapement in tenths of a degree
  void SetOrientation(int Value);
  int PixelsPerInch() const { return pixelsPerInch_; }
  void SetPixelsPerInch(int Value) { pixelsPerInch_ = Value; }
  LOGFONT GetLogFont() const;

 private:
  std::string name_ = "MS Sans Serif";
  int height_ = -11;
  TFontStyles style_;
  TColor color_ = clWindowText;
  TFontCharset charset_ = DEFAULT_CHARSET;
  TFontPitch pitch_ = fpDefault;
  int orientation_ = 0;
  int pixelsPerInch_ = 96;
};

class TPen : public TGraphicsObject {
  TALVIK_CLASS(TPen, TGraphicsObject)
  TPen() = default;
  void Assign(TPersistent* Source) override;
  HPEN Handle();
  TColor Color() const { return color_; }
  void SetColor(TColor Value);
  int Width() const { return width_; }
  void SetWidth(int Value);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle Value);
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode Value);

 private:
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
  TPenMode mode_ = pmCopy;
};

class TBrush : public TGraphicsObject {
  TALVIK_CLASS(TBrush, TGraphicsObject)
  TBrush() = default;
  ~TBrush() override;
  void Assign(TPersistent* Source) override;
  HBRUSH Handle();
  void SetHandle(HBRUSH Value);  // the handle stays the caller's
  TColor Color() const { return color_; }
  void SetColor(TColor Value);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle Value);
  // A pattern brush from the bitmap (not owned; nullptr ends the pattern).
  TBitmap* Bitmap() const { return bitmap_; }
  void SetBitmap(TBitmap* Value);

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
  TBitmap* bitmap_ = nullptr;
};

enum TCanvasStates { csHandleValid, csFontValid, csPenValid, csBrushValid };
using TCanvasState = TSet<TCanvasStates>;
enum TTextFormats {
  tfBottom,
  tfCalcRect,
  tfCenter,
  tfEditControl,
  tfEndEllipsis,
  tfPathEllipsis,
  tfExpandTabs,
  tfExternalLeading,
  tfLeft,
  tfModifyString,
  tfNoClip,
  tfNoPrefix,
  tfRight,
  tfRtlReading,
  tfSingleLine,
  tfTop,
  tfVerticalCenter,
  tfWordBreak
};
using TTextFormat = TSet<TTextFormats>;

class TGraphic;

// Drawing on a device context with a font, a pen and a brush of its own.
class TCanvas : public TPersistent {
  TALVIK_CLASS(TCanvas, TPersistent)
  TCanvas();
  ~TCanvas() override;

  HDC Handle();  // asks CreateHandle when there is none
  void SetHandle(HDC Value);
  bool HandleAllocated() const { return handle_ != nullptr; }
  TFont* Font() { return &font_; }
  void SetFont(TFont* Value) { font_.Assign(Value); }
  TPen* Pen() { return &pen_; }
  void SetPen(TPen* Value) { pen_.Assign(Value); }
  TBrush* Brush() { return &brush_; }
  void SetBrush(TBrush* Value) { brush_.Assign(Value); }
  TPoint PenPos();
  void SetPenPos(TPoint Value) { MoveTo(Value.X, Value.Y); }
  DWORD CopyMode() const { return copyMode_; }
  void SetCopyMode(DWORD Value) { copyMode_ = Value; }
  int TextFlags() const { return textFlags_; }
  void SetTextFlags(int Value) { textFlags_ = Value; }
  TRect ClipRect();
  TColor Pixels(int X, int Y);
  void SetPixels(int X, int Y, TColor Value);

  void Arc(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4);
  void CopyRect(const TRect& Dest, TCanvas* Canvas, const TRect& Source);
  void Draw(int X, int Y, TGraphic* Graphic);
  void StretchDraw(const TRect& R, TGraphic* Graphic);
  void DrawFocusRect(const TRect& R);
  void Ellipse(int X1, int Y1, int X2, int Y2);
  void Ellipse(const TRect& R) { Ellipse(R.Left, R.Top, R.Right, R.Bottom); }
  void FillRect(const TRect& R);
  void FrameRect(const TRect& R);
  void LineTo(int X, int Y);
  void MoveTo(int X, int Y);
  void Polygon(const std::vector<TPoint>& Points);
  void Polyline(const std::vector<TPoint>& Points);
  void Rectangle(int X1, int Y1, int X2, int Y2);
  void Rectangle(const TRect& R) { Rectangle(R.Left, R.Top, R.Right, R.Bottom); }
  void RoundRect(int X1, int Y1, int X2, int Y2, int X3, int Y3);
  void TextOut(int X, int Y, const std::string& Text);
  void TextRect(const TRect& Rect, int X, int Y, const std::string& Text);
  void TextRect(TRect& Rect, std::string& Text, TTextFormat TextFormat);
  TSize TextExtent(const std::string& Text);
  int TextWidth(const std::string& Text) { return TextExtent(Text).cx; }
  int TextHeight(const std::string& Text) { return TextExtent(Text).cy; }
  void Refresh();  // forgets the selected objects, so that they are selected again
  void Lock() {}
  void Unlock() {}

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  virtual void CreateHandle() {}
  virtual void Changed();
  virtual void Changing();
  void RequiredState(TCanvasState State);
  void DeselectHandles();

 private:
  HDC handle_ = nullptr;
  TCanvasState state_;
  TFont font_;
  TPen pen_;
  TBrush brush_;
  TPoint penPos_;
  DWORD copyMode_ = SRCCOPY;
  int textFlags_ = 0;
};

enum TTransparentMode { tmAuto, tmFixed };
enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

class TGraphic : public TPersistent {
  TALVIK_CLASS(TGraphic, TPersistent)
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetWidth(int Value) = 0;
  virtual void SetHeight(int Value) = 0;
  virtual bool Empty() const = 0;
  virtual void Draw(TCanvas* ACanvas, const TRect& Rect) = 0;
  virtual void LoadFromFile(const std::string& FileName) = 0;
  virtual void SaveToFile(const std::string& FileName) = 0;
  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool Value);
  TNotifyEvent OnChange;

 protected:
  virtual void Changed();
  bool transparent_ = false;
};

// A bitmap in memory with a canvas of its own.
class TBitmap : public TGraphic {
  TALVIK_CLASS(TBitmap, TGraphic)
  TBitmap();
  ~TBitmap() override;
  void Assign(TPersistent* Source) override;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetWidth(int Value) override { SetSize(Value, height_); }
  void SetHeight(int Value) override { SetSize(width_, Value); }
  void SetSize(int AWidth, int AHeight);
  bool Empty() const override { return width_ == 0 || height_ == 0; }
  TCanvas* Canvas();
  HBITMAP Handle();
  void SetHandle(HBITMAP Value);  // takes the bitmap over
  bool Monochrome() const { return monochrome_; }
  void SetMonochrome(bool Value);
  TPixelFormat PixelFormat() const { return monochrome_ ? pf1bit : pf32bit; }
  void SetPixelFormat(TPixelFormat Value) { SetMonochrome(Value == pf1bit); }
  TColor TransparentColor();
  void SetTransparentColor(TColor Value);
  TTransparentMode TransparentMode() const { return transparentMode_; }
  void SetTransparentMode(TTransparentMode Value);
  // A monochrome mask: white where the pixel has the colour, black elsewhere.
  void Mask(TColor TransparentColor);
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;
  void LoadFromFile(const std::string& FileName) override;  // BMP or PNG
  void SaveToFile(const std::string& FileName) override;    // by extension, PNG by default
  void Dormant() {}
  void FreeImage() {}

 private:
  class TBitmapCanvas;
  void FreeContext();
  int width_ = 0;
  int height_ = 0;
  HBITMAP handle_ = nullptr;
  bool monochrome_ = false;
  TColor transparentColor_ = clDefault;
  TTransparentMode transparentMode_ = tmAuto;
  std::unique_ptr<TCanvas> canvas_;
  HDC dc_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
};

// An icon: an image with the pixels of its transparent colour left out when drawn.
class TIcon : public TGraphic {
  TALVIK_CLASS(TIcon, TGraphic)
  TIcon();
  ~TIcon() override;
  void Assign(TPersistent* Source) override;
  int Width() const override { return image_->Width(); }
  int Height() const override { return image_->Height(); }
  void SetWidth(int Value) override { image_->SetWidth(Value); }
  void SetHeight(int Value) override { image_->SetHeight(Value); }
  bool Empty() const override { return image_->Empty(); }
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;
  void LoadFromFile(const std::string& FileName) override;
  void SaveToFile(const std::string& FileName) override;
  // The image; pixels of TransparentColor are clear (clDefault: the bottom-left pixel's colour).
  TBitmap* Bitmap() { return image_.get(); }
  TColor TransparentColor() const { return transparentColor_; }
  void SetTransparentColor(TColor Value);
  // Takes a copy of an icon's picture (LoadIcon); the handle stays the caller's. nullptr empties it.
  void SetHandle(HICON Value);

 private:
  std::unique_ptr<TBitmap> image_;
  TColor transparentColor_ = clDefault;
};

// Holds one graphic: a bitmap or an icon.
class TPicture : public TPersistent {
  TALVIK_CLASS(TPicture, TPersistent)
  TPicture();
  ~TPicture() override;
  void Assign(TPersistent* Source) override;
  TGraphic* Graphic() const { return graphic_.get(); }
  void SetGraphic(TGraphic* Value);  // copies it
  TBitmap* Bitmap();                 // replaces another kind of graphic with an empty bitmap
  TIcon* Icon();                     // likewise with an empty icon
  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }
  void LoadFromFile(const std::string& FileName);  // ".ico" names give an icon, others a bitmap
  void SaveToFile(const std::string& FileName);
  TNotifyEvent OnChange;

 private:
  void Changed(TObject* Sender);
  std::unique_ptr<TGraphic> graphic_;
};

// The installed font family that stands in for a face name (with Cyrillic glyphs).
std::string MapFontFamily(const std::string& face);
// The installed fonts the layer can name (TScreen::Fonts).
std::vector<std::string> InstalledFontNames();
