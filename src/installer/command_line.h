// The setup's and the uninstaller's command line. A tail that starts with
// "/" is switches, as the peers take them: /S (silent), /D=FOLDER (the
// target; last on the line, blanks allowed, no quotes) and /? (the list of
// switches), /LOG=FILE (an install log; a FILE with blanks in double
// quotes), /WAIT=SECONDS (how long a silent run waits for another
// installation or removal of the same product); any other switch is refused. Every other tail keeps
// its old meaning: a folder to install into silently.
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
  std::u16string folder;                               // kFolder, or /D= (empty when not given)
  std::u16string logFile;                              // /LOG= (empty when not given)
  uint32_t lockWaitSeconds = kDefaultLockWaitSeconds;  // /WAIT=
  std::u16string refused;                              // kRefused: the switch
};

SetupCommand ParseSetupCommand(std::u16string_view tail);

// The box /? shows.
std::u16string SwitchesHelpText();
