// Small builders for the controls every page lays out by the dozen: a label, a check box and a
// group box at given bounds with their caption.
//
// How to use: `auto* box = NewCheckBox(group, "Run at windows startup", 12, 20, 400);`
#pragma once

#include <string>

#include "StdCtrls.h"

inline TLabel* NewLabel(TControl* parent, const std::string& caption, int left, int top, int width, int height = 16) {
  auto* label = new TLabel(parent);
  label->SetBounds(left, top, width, height);
  label->SetCaption(caption);
  return label;
}

inline TCheckBox* NewCheckBox(TControl* parent, const std::string& caption, int left, int top, int width,
                              int height = 20) {
  auto* box = new TCheckBox(parent);
  box->SetBounds(left, top, width, height);
  box->SetCaption(caption);
  return box;
}

inline TGroupBox* NewGroup(TControl* parent, const std::string& caption, int left, int top, int width, int height) {
  auto* group = new TGroupBox(parent);
  group->SetBounds(left, top, width, height);
  group->SetCaption(caption);
  return group;
}
