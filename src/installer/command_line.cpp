#include "installer/command_line.h"

#include <utility>

#include "installer/install_target.h"

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// Whole seconds of at most kMaxLockWaitSeconds; false for anything else.
bool ParseSeconds(std::u16string_view digits, uint32_t* seconds) {
  if (digits.empty() || digits.size() > 5) return false;
  uint32_t value = 0;
  for (const char16_t c : digits) {
    if (c < u'0' || c > u'9') return false;
    value = value * 10 + static_cast<uint32_t>(c - u'0');
  }
  *seconds = value;
  return value <= kMaxLockWaitSeconds;
}

}  // namespace

SetupCommand ParseSetupCommand(std::u16string_view tail) {
  SetupCommand command;
  size_t at = 0;
  while (at < tail.size() && IsBlank(tail[at])) ++at;
  if (at == tail.size()) return command;
  // No folder begins with "/", quoted or not: "/D=C:\Some Dir" in quotes is
  // a switch as well.
  const bool quotedSwitch = tail[at] == u'"' && at + 1 < tail.size() && tail[at + 1] == u'/';
  if (tail[at] != u'/' && !quotedSwitch) {
    command.kind = CommandKind::kFolder;
    command.silent = true;
    command.folder = TargetFromCommandLine(tail);
    return command;
  }
  command.kind = CommandKind::kSwitches;
  while (at < tail.size()) {
    if (IsBlank(tail[at])) {
      ++at;
      continue;
    }
    // An unquoted /D= takes the rest of the line, blanks and all: it comes
    // last.
    if (tail.substr(at, 3) == u"/D=" && (at + 3 == tail.size() || tail[at + 3] != u'"')) {
      std::u16string_view folder = tail.substr(at + 3);
      while (!folder.empty() && IsBlank(folder.back())) folder.remove_suffix(1);
      command.folder = std::u16string(folder);
      break;
    }
    // A word ends at a blank outside double quotes; the quotes go.
    std::u16string word;
    for (bool quoted = false; at < tail.size() && (quoted || !IsBlank(tail[at])); ++at) {
      if (tail[at] == u'"') {
        quoted = !quoted;
      } else {
        word.push_back(tail[at]);
      }
    }
    const std::u16string_view value = std::u16string_view(word).substr(word.find(u'=') + 1);
    if (word == u"/S") {
      command.silent = true;
    } else if (word.starts_with(u"/LOG=")) {
      command.logFile = std::u16string(value);
    } else if (uint32_t seconds = 0; word.starts_with(u"/WAIT=") && ParseSeconds(value, &seconds)) {
      command.lockWaitSeconds = seconds;
    } else if (word.starts_with(u"/D=")) {
      command.folder = std::u16string(value);
    } else if (word == u"/ALLOWDOWNGRADE") {
      command.allowDowngrade = true;
    } else if (word == u"/?") {
      command.kind = CommandKind::kHelp;
    } else if (command.refused.empty()) {
      // The rest is still read: a /S or /LOG= behind it holds for the refusal.
      command.refused = std::move(word);
    }
  }
  if (!command.refused.empty() && command.kind != CommandKind::kHelp) {
    command.kind = CommandKind::kRefused;
  }
  return command;
}

std::u16string SwitchesHelpText() {
  return u"Switches:\n\n"
         u"/S\tinstall (or remove) silently, without a window\n"
         u"/D=FOLDER\tthe folder to install into; last on the line, or \"/D=FOLDER\" in quotes\n"
         u"/LOG=FILE\ta log of what is done (a FILE with blanks in quotes)\n"
         u"/WAIT=SECONDS\tsilently, how long to wait for another installation of the same "
         u"product (600)\n"
         u"/ALLOWDOWNGRADE\treplace a newer installed version\n"
         u"/?\tthis list\n\n"
         u"A folder alone installs there silently.";
}
