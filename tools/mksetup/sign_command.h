// build --sign-command: the setup, and the uninstaller inside it, signed by a
// tool the user names as a command line whose placeholders stand for the
// files: "{in}" and "{out}" for a tool that writes a signed copy
// (osslsigncode), "{file}" for one that signs in place (signtool).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "temporary_file.h"

// Null when `command` names its files as signing needs: {in} and {out}, or
// {file}, not both kinds; otherwise why not.
const char* CheckSignCommand(std::string_view command);

// `command` with every {in} and {file} replaced by `in` and every {out} by
// `out`, each as given (quoted by the caller); other text as it is.
std::string ExpandSignCommand(std::string_view command, const std::string& in,
                              const std::string& out);

// Signs the complete temporary `file` (closed; it lies beside `target`)
// with `command`. Returns the temporary that holds the signed file: `file`
// itself when the tool signs in place, else a new one beside `target`.
// Throws std::runtime_error when the command cannot run or fails (naming its
// exit code), or leaves no file whose package still verifies; no temporary
// is left then.
std::unique_ptr<TemporaryFile> SignTemporary(std::string_view command,
                                             std::unique_ptr<TemporaryFile> file,
                                             const std::string& target);
