// The setup window's texts and settings from the [locale] section (or its
// variant for the system's language): seven lines in a fixed order.
#pragma once

#include <cstdint>
#include <string>

#include "script/locale_name.h"
#include "script/setup_script.h"

// How line 3's character after its first comma sets up the window.
enum class TargetMode : uint8_t {
  kChoose,     // no comma, or any other character: edit and "..." button
  kFixed,      // ",0": the edit is disabled and there is no "..." button
  kAutomatic,  // ",1": only picture and prompt; the install starts by itself
};

struct LocaleTexts {
  std::u16string title = u"Setup";  // 1: the window's caption
  std::u16string prompt;            // 2: the label above the target
  std::u16string targetDir;         // 3: before its first comma
  TargetMode mode = TargetMode::kChoose;
  std::u16string startCaption = u"Start";  // 4
  std::u16string busyCaption;              // 5: the start button's during the install
  std::u16string filePrefix;               // 6: before each file name in the progress
  std::u16string pictureName;              // 7 (optional): a path in the file tree
};

// Reads the lines after the locale header that FindLocaleSection picks
// (narrowing `localeName` to the form found). The first six lines are taken
// whatever they hold, a following section's header included; the seventh
// only when it does not begin with "[". Lines are ended in place. A script
// without a [locale] section, or one that ends early, leaves the missing
// texts at their defaults: reading never passes the script's end.
LocaleTexts ReadLocaleTexts(ScriptText script, LocaleName* localeName);
