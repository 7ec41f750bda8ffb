#pragma once
// Enumerations of the control set's published properties, registered with the
// meta-object system so that properties show their names, and brought into
// the global scope under the names the forms use.
#include <QObject>

namespace QvControls {
Q_NAMESPACE

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
Q_ENUM_NS(TAlignment)

// Shape numbers 0..3 of DrawShape.
enum TMShapeType { mstNone, mstRectangle, mstRoundRect, mstEllipse };
Q_ENUM_NS(TMShapeType)

// Effects 0..8 of DrawEffectText.
enum TMultiTextStyle {
  mtsBorder,
  mtsBorderShadow,
  mtsDown,
  mtsEnabledFalse,
  mtsNormal,
  mtsUp,
  mtsUpShadow,
  mtsBoldUpShadow,
  mtsBoldUpShadow2
};
Q_ENUM_NS(TMultiTextStyle)

enum TButtonImageAlign { biaCenter, biaTop, biaLeft, biaRight, biaBottom };
Q_ENUM_NS(TButtonImageAlign)

enum TButtonDownStyle { bdsNone, bdsCheck, bdsUnique, bdsUniqueOrAllUp };
Q_ENUM_NS(TButtonDownStyle)

enum TMultiPanelStyle { mpsGroup, mpsPanel, mpsMergePanel, mpsCheck, mpsTabGroup };
Q_ENUM_NS(TMultiPanelStyle)

enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };
Q_ENUM_NS(TPanelBevel)

// The same effects as TMultiTextStyle, under the attach panel's names.
enum TBRVTextStyle {
  btsBorder,
  btsBorderShadow,
  btsDown,
  btsEnabledFalse,
  btsNormal,
  btsUp,
  btsUpShadow,
  btsBoldUpShadow,
  btsBoldUpShadow2
};
Q_ENUM_NS(TBRVTextStyle)

// Alignments 0..8 of DrawEffectText.
enum TBRVPanelAlignment {
  bpaLeftTop,
  bpaCenterTop,
  bpaRightTop,
  bpaLeftMiddle,
  bpaCenterMiddle,
  bpaRightMiddle,
  bpaLeftBottom,
  bpaCenterBottom,
  bpaRightBottom
};
Q_ENUM_NS(TBRVPanelAlignment)

enum TMoveObject { moSelf, moForm };
Q_ENUM_NS(TMoveObject)

}  // namespace QvControls

using QvControls::TAlignment;
using QvControls::TBRVPanelAlignment;
using QvControls::TBRVTextStyle;
using QvControls::TButtonDownStyle;
using QvControls::TButtonImageAlign;
using QvControls::TMoveObject;
using QvControls::TMShapeType;
using QvControls::TMultiPanelStyle;
using QvControls::TMultiTextStyle;
using QvControls::TPanelBevel;
using enum QvControls::TAlignment;
using enum QvControls::TBRVPanelAlignment;
using enum QvControls::TBRVTextStyle;
using enum QvControls::TButtonDownStyle;
using enum QvControls::TButtonImageAlign;
using enum QvControls::TMoveObject;
using enum QvControls::TMShapeType;
using enum QvControls::TMultiPanelStyle;
using enum QvControls::TMultiTextStyle;
using enum QvControls::TPanelBevel;
