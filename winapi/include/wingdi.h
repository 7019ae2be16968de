// wingdi.h: gdi32 as this program calls it (fonts and glyph bitmaps over FreeType and
// fontconfig; device contexts; filling and text on a window). Included by windows.h;
// include windows.h instead.
#pragma once
#include "windows.h"

#define GDI_ERROR 0xFFFFFFFFu

// Logical fonts.
#define LF_FACESIZE 32
typedef struct tagLOGFONTA {
    LONG lfHeight;  // > 0: cell height (ascent + descent); < 0: character (em) height
    LONG lfWidth;   // 0: the face's own proportions; else the average character width
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    CHAR lfFaceName[LF_FACESIZE];  // code page 932; empty: chosen by family and pitch
} LOGFONTA;
static_assert(sizeof(LOGFONTA) == 60, "LOGFONTA is 60 bytes, as on Windows");

#define FW_DONTCARE 0
#define FW_THIN 100
#define FW_NORMAL 400
#define FW_MEDIUM 500
#define FW_SEMIBOLD 600
#define FW_BOLD 700
#define FW_HEAVY 900

#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SHIFTJIS_CHARSET 128

#define OUT_DEFAULT_PRECIS 0
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4

#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0x00
#define FF_ROMAN 0x10
#define FF_SWISS 0x20
#define FF_MODERN 0x30
#define FF_SCRIPT 0x40
#define FF_DECORATIVE 0x50

// Text metrics of the font selected into a device context.
typedef struct tagTEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
} TEXTMETRICA;

// tmPitchAndFamily bits (TMPF_FIXED_PITCH set means the font is NOT fixed pitch).
#define TMPF_FIXED_PITCH 0x01
#define TMPF_VECTOR 0x02
#define TMPF_TRUETYPE 0x04

// Glyphs.
typedef struct _FIXED {
    WORD fract;
    short value;
} FIXED;
typedef struct _MAT2 {
    FIXED eM11;
    FIXED eM12;
    FIXED eM21;
    FIXED eM22;
} MAT2;
typedef struct _GLYPHMETRICS {
    UINT gmBlackBoxX;
    UINT gmBlackBoxY;
    POINT gmptGlyphOrigin;  // x: left bearing; y: top of the black box above the baseline
    short gmCellIncX;
    short gmCellIncY;
} GLYPHMETRICS;

#define GGO_METRICS 0
#define GGO_BITMAP 1

// Stock objects.
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define SYSTEM_FONT 13
#define DEFAULT_GUI_FONT 17

// Background modes.
#define TRANSPARENT 1
#define OPAQUE 2
#define CLR_INVALID 0xFFFFFFFFu

#define RGB(r, g, b) \
    ((COLORREF)(((BYTE)(r)) | ((WORD)((BYTE)(g)) << 8) | (((DWORD)(BYTE)(b)) << 16)))

// Fonts. A face name is looked up through fontconfig; with no face name the family and
// pitch choose (FF_MODERN or FIXED_PITCH: monospace), and SHIFTJIS_CHARSET (or
// DEFAULT_CHARSET, the program's code page being 932) asks for a face that covers
// Japanese. Answers null (last error set) when no installed face fits or the font asks
// for what is not supported (escapement, orientation, underline, strike-out, another
// character set).
HFONT CreateFontIndirectA(const LOGFONTA* font);
// Fonts and brushes; stock objects answer TRUE and stay.
BOOL DeleteObject(HGDIOBJ object);
// A font's LOGFONTA as it was created (at most size bytes; a null buffer asks the size).
int GetObjectA(HGDIOBJ object, int size, LPVOID buffer);
HGDIOBJ GetStockObject(int index);

// Device contexts. A memory DC (CreateCompatibleDC) has nothing to draw on, as a fresh
// one on Windows (its 1 x 1 bitmap): it serves fonts and glyphs. Window DCs come from
// GetDC (user32).
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
// Fonts and brushes; answers the object it replaced, null on failure.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);
// The face name of the selected font (code page 932), as fontconfig names the face it
// chose. Answers the length copied without the terminator; a null buffer asks the size.
int GetTextFaceA(HDC dc, int size, LPSTR faceName);

// The glyph of a code page 932 character (lead byte * 256 + trail byte, or one byte) in
// the selected font. Supports GGO_METRICS and GGO_BITMAP with the identity matrix.
// GGO_BITMAP: 1 bit per pixel, the most significant bit leftmost, each row padded to a
// multiple of 4 bytes, gmBlackBoxY rows. With a null buffer or a size of 0 it answers
// the size it needs. A blank glyph (a space) answers size 0 with a 1 x 1 black box and
// its cell increment, and GDI_ERROR when a buffer is given, as GDI does. A code that is
// no code page 932 character (a lone lead byte, an unassigned code) answers GDI_ERROR.
DWORD GetGlyphOutlineA(HDC dc, UINT character, UINT format, GLYPHMETRICS* metrics, DWORD size,
                       LPVOID buffer, const MAT2* matrix);

// Drawing on a window DC (into the window's surface). Skipped, with success, while the
// window is drawn by a Direct3D device. On a memory DC it draws nothing, successfully.
// FillRect belongs to user32 on Windows; it lives here with the other drawing.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int SetBkMode(HDC dc, int mode);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF SetBkColor(HDC dc, COLORREF color);
// Code page 932 text with the selected font; (x, y) is the top left of the first cell.
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length);
