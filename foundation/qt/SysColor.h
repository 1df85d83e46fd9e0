// Night shading of the program's own window colours.
//
// Linux desktops have no system-wide colours a program could change, so the
// colours shaded here are those of the application palette: every colour
// role of every colour group, saved when the object is created. The object
// lives as long as the main window; whatever happens, its destructor puts
// the saved palette back.
#pragma once

#include <QPalette>

#include "foundation/Colors.h"

class TSYSCOLOR {
 public:
  // Saves the application palette; level 0.
  TSYSCOLOR();
  // Restores the saved palette when a shaded one was applied (without
  // running pending events: the windows may already be going away).
  ~TSYSCOLOR();
  TSYSCOLOR(const TSYSCOLOR&) = delete;
  TSYSCOLOR& operator=(const TSYSCOLOR&) = delete;

  static TColor ShadeColor(int level, TColor color) { return ::ShadeColor(level, color); }

  // Nothing when `level` is the current level; otherwise shades every saved
  // colour with ShadeColor(level), keeps the level and applies the result.
  void SetShade(int level);
  // Makes the shaded palette the application palette and runs pending
  // events, so that every window repaints in it.
  void ApplyShade();
  // Level 0; the saved palette becomes the application palette again, and
  // pending events run.
  void Restore();

  int Level() const { return level_; }
  const QPalette& SavedPalette() const { return saved_; }
  const QPalette& ShadedPalette() const { return shaded_; }

 private:
  void Apply(const QPalette& palette);

  QPalette saved_;
  QPalette shaded_;
  int level_ = 0;
  bool shadedApplied_ = false;
};
