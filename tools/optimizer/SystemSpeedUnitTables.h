// The system optimizer's fixed tables: the seven optimization models with their descriptions,
// the 22 service boxes and 27 tweak boxes (caption, what each drives, the text shown while the
// mouse is over it) and the state each model gives the boxes.
#pragma once

#include <array>
#include <string>

#include "UnitServicesOptimize.h"

namespace SystemSpeedUnit {

inline constexpr int ModelCount = 7;
inline constexpr int ServiceBoxCount = 22;
inline constexpr int TweakBoxCount = 27;
inline constexpr int CustomizationModel = 6;

struct TModel {
  const char* Caption;
  const char* Description;
};
extern const std::array<TModel, ModelCount> Models;

extern const char* const IntroductionText;

struct TServiceBox {
  const char* Caption;
  const char* Service;   // the service the box drives
  UnitServicesOptimize::TServiceOutcome (*Enable)();
  UnitServicesOptimize::TServiceOutcome (*Disable)();
  const char* Hover;
};
// chk1 .. chk22, in the order they act; each drives a service of its own
extern const std::array<TServiceBox, ServiceBoxCount> ServiceBoxes;

struct TTweakBox {
  const char* Caption;
  int Item;              // the tweak item it backs up and applies
  const char* Hover;
};
extern const std::array<TTweakBox, TweakBoxCount> TweakBoxes;   // Ochk1 .. Ochk27, in the order they act

// What a model does to a box.
enum class TPreset : char { Off, On, Kept };
// [box][model]
extern const std::array<std::array<TPreset, ModelCount>, ServiceBoxCount> ServicePresets;
extern const std::array<std::array<TPreset, ModelCount>, TweakBoxCount> TweakPresets;

}  // namespace SystemSpeedUnit
