#include "installer/picture_jpeg_errors.h"

#include <cstring>

// jpeg_std_error would link libjpeg's message table and its formatting and
// printing (snprintf, fprintf): about 100 KB of printf family in a stub that
// has no console to print to. Every entry is therefore our own.
namespace {

[[noreturn]] void JumpBack(j_common_ptr common) {
  (*common->err->output_message)(common);
  longjmp(reinterpret_cast<JpegErrorManager*>(common->err)->jump, 1);
}

// Level -1 is a warning about damaged data (libjpeg then goes on with what it
// has); higher levels are trace messages.
void CountWarning(j_common_ptr common, int level) {
  if (level < 0) ++common->err->num_warnings;
}

void WriteNothing(j_common_ptr) {}

void FormatEmpty(j_common_ptr, char* buffer) { buffer[0] = '\0'; }

void ResetErrors(j_common_ptr common) {
  common->err->num_warnings = 0;
  common->err->msg_code = 0;
}

}  // namespace

void InitJpegErrorManager(JpegErrorManager* errors) {
  memset(&errors->manager, 0, sizeof(errors->manager));
  errors->manager.error_exit = JumpBack;
  errors->manager.emit_message = CountWarning;
  errors->manager.output_message = WriteNothing;
  errors->manager.format_message = FormatEmpty;
  errors->manager.reset_error_mgr = ResetErrors;
}
