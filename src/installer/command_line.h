// The setup's and the uninstaller's command line. A tail that starts with
// "/" (or a quoted "/") is switches, as the peers take them: /S (silent),
// /D=FOLDER (the target: unquoted, last on the line with its blanks; or a
// word in double quotes, "/D=C:\Some Dir"), /LOG=FILE (an install log),
// /WAIT=SECONDS (how long a silent run waits for another installation or
// removal of the same product), /ALLOWDOWNGRADE (an older version may
// replace the registered one) and /? (the list of switches); any other
// switch is refused. A word's double quotes group blanks and are dropped.
// Every other tail keeps its old meaning: a folder to install into silently.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class CommandKind : uint8_t {
  kWindow,    // nothing given: the window
  kFolder,    // a plain folder: a silent install there
  kSwitches,  // /S and /D=
  kHelp,      // /? anywhere
  kRefused,   // a switch this program does not know
};

// A silent run's wait for another installation of the product, in seconds.
inline constexpr uint32_t kDefaultLockWaitSeconds = 600;
inline constexpr uint32_t kMaxLockWaitSeconds = 86400;

struct SetupCommand {
  CommandKind kind = CommandKind::kWindow;
  bool silent = false;
  bool allowDowngrade = false;                         // /ALLOWDOWNGRADE
  std::u16string folder;                               // kFolder, or /D= (empty when not given)
  std::u16string logFile;                              // /LOG= (empty when not given)
  uint32_t lockWaitSeconds = kDefaultLockWaitSeconds;  // /WAIT=
  std::u16string refused;                              // kRefused: the switch
};

SetupCommand ParseSetupCommand(std::u16string_view tail);

// The box /? shows.
std::u16string SwitchesHelpText();
