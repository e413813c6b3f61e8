#include "installer/command_line.h"

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
  if (tail[at] != u'/') {
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
    // /D= takes the rest of the line, blanks and all: it comes last.
    if (tail.substr(at, 3) == u"/D=") {
      std::u16string_view folder = tail.substr(at + 3);
      while (!folder.empty() && IsBlank(folder.back())) folder.remove_suffix(1);
      command.folder = std::u16string(folder);
      break;
    }
    size_t end = at;
    if (tail.substr(at, 5) == u"/LOG=" && at + 5 < tail.size() && tail[at + 5] == u'"') {
      end = tail.find(u'"', at + 6);
      if (end == std::u16string_view::npos) end = tail.size();
      command.logFile = std::u16string(tail.substr(at + 6, end - at - 6));
      at = end + 1;
      continue;
    }
    while (end < tail.size() && !IsBlank(tail[end])) ++end;
    const std::u16string_view word = tail.substr(at, end - at);
    if (word == u"/S") {
      command.silent = true;
    } else if (word.substr(0, 5) == u"/LOG=") {
      command.logFile = std::u16string(word.substr(5));
    } else if (uint32_t seconds = 0;
               word.substr(0, 6) == u"/WAIT=" && ParseSeconds(word.substr(6), &seconds)) {
      command.lockWaitSeconds = seconds;
    } else if (word == u"/?") {
      command.kind = CommandKind::kHelp;
    } else if (command.refused.empty()) {
      // The rest is still read: a /S or /LOG= behind it holds for the refusal.
      command.refused = std::u16string(word);
    }
    at = end;
  }
  if (!command.refused.empty() && command.kind != CommandKind::kHelp) {
    command.kind = CommandKind::kRefused;
  }
  return command;
}

std::u16string SwitchesHelpText() {
  return u"Switches:\n\n"
         u"/S\tinstall (or remove) silently, without a window\n"
         u"/D=FOLDER\tthe folder to install into; last on the line, without quotes\n"
         u"/LOG=FILE\ta log of what is done (a FILE with blanks in quotes)\n"
         u"/WAIT=SECONDS\tsilently, how long to wait for another installation of the same "
         u"product (600)\n"
         u"/?\tthis list\n\n"
         u"A folder alone installs there silently.";
}
