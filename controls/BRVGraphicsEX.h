#pragma once
// Free drawing functions shared by the owner-drawn controls and the picture
// tools: colour blending and shading, effect text, shaded shapes, pie and ring
// pieces, the pieces of attach-panel frames, dithering and resampling. None
// keeps state between calls; each leaves the canvas's pen and brush as it
// found them.
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "controls/Graphics.h"

// Per channel Color1 × Alpha + Color2 × (255 − Alpha), over 255; Alpha 255
// gives Color1, 0 gives Color2. Channels are kept within 0..255 for any Alpha.
TColor BlendColor(TColor Color1, TColor Color2, int Alpha);

// The shade of Color facing Step on a circle of Steps steps, lit from the top
// left: lighter towards the top left, darker towards the bottom right.
TColor ShadeColor(TColor Color, int Steps, int Step, bool Invert);

// Writes the ellipse points of FromStep..ToStep (inclusive, counting down when
// ToStep < FromStep) into Points from FirstIndex on; returns the next free index.
int EllipsePoints(QPoint Centre, int RadiusX, int RadiusY, int FromStep, int ToStep, int Steps, int FirstIndex,
                  std::vector<QPoint>& Points);

// Caption alignments 0..8: left, centre, right × top, middle, bottom.
void DrawTextLines(TCanvas& Canvas, int Left, int Right, int Alignment, const QStringList& Lines, int LineHeight,
                   int Top);

// Caption effects 0..8 (border, border and shadow, sunken, disabled, normal,
// raised, raised with shadow, bold raised with shadow and its second form).
// Returns the text height; with MeasureOnly, Rect becomes the text's extent
// and nothing is drawn.
int DrawEffectText(TCanvas& Canvas, const QString& Text, TRect& Rect, TColor ShadowColor, TColor EffectColor,
                   int Effect, bool MeasureOnly, bool WordWrap, int Alignment);

// The lines DrawEffectText draws for Text within Width pixels of the canvas font.
QStringList WrapEffectText(const TCanvas& Canvas, const QString& Text, int Width, bool WordWrap);

// Shapes: 1 rectangle, 2 round rectangle, 3 ellipse. The rim is as wide as the
// pen and shaded from the pen colour; the face is the brush. Radius is the
// round rectangle's corner radius, negative for the automatic one.
void DrawShape(TCanvas& Canvas, int Shape, int Left, int Top, int Right, int Bottom, bool Flat, bool Raised,
               bool Offset, int Alpha, int Radius = -1);

// The corner radius DrawShape uses for a round rectangle of that size.
int AutoRoundRadius(int Width, int Height, int PenWidth);

// An elliptic sector in FaceColor and a ring of Depth around it, shaded from
// SideColor step by step.
void DrawPie(TCanvas& Canvas, TColor FaceColor, TColor SideColor, int ToStep, int FromStep, int Steps, bool DrawFace,
             bool Invert, int Depth, int RadiusY, int RadiusX, QPoint Centre);

// One corner, edge or centre piece of an attach-panel frame. The four flags
// tell which corners of the piece lie inside the panel. Face mode paints the
// face and shaded rim; fill mode paints BackColor outside the panel's shape.
void DrawFrame3D(TCanvas& Canvas, const TRect& Rect, TColor FaceColor, bool FaceMode, bool LeftTop, bool RightTop,
                 bool RightBottom, bool LeftBottom, int Radius, int Depth, TColor BackColor, TColor ShadeBaseColor);

// 24-bit grey: each channel becomes (red + green + blue) div 3.
void GrayscaleBitmap(QImage& Bitmap);
// Grey, then random black and white (seeded from the clock).
void DitherBitmapMono(QImage& Bitmap);
void DitherBitmapMono(QImage& Bitmap, uint32_t Seed);
// Resizes to NewWidth × NewHeight by area averaging (24-bit result).
void ResampleBitmap(QImage& Bitmap, int NewWidth, int NewHeight);
// The pixels of Part of what ResampleBitmap would make of Source at
// NewWidth × NewHeight, without making the rest (24-bit; empty when Part
// lies outside).
QImage ResampleBitmapPart(const QImage& Source, int NewWidth, int NewHeight, const QRect& Part);
// The same for a picture of SourceSize of which Source holds only the
// pixels from SourceOrigin on: at least those of ResampleSourceRect. A
// photo decoded in part is resampled without the rest of it.
QImage ResampleBitmapPart(const QImage& Source, QPoint SourceOrigin, QSize SourceSize, int NewWidth, int NewHeight,
                          const QRect& Part);
// The pixels of a picture of SourceSize that Part of it at NewWidth ×
// NewHeight is made from.
QRect ResampleSourceRect(QSize SourceSize, int NewWidth, int NewHeight, const QRect& Part);
