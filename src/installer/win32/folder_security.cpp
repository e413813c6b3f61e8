#include "installer/win32/folder_security.h"

// windows.h first: the descriptor language's header builds on it.
#include <sddl.h>

namespace {

// Protected (no permission of the parent comes in), inherited by every
// folder and file below: SYSTEM and Administrators full control, Users and
// app packages read and run, the creator of a file below full control of it.
constexpr wchar_t kProgramFilesDacl[] =
    L"D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;OICI;0x1200a9;;;S-1-15-2-1)"
    L"(A;OICIIO;GA;;;CO)";

}  // namespace

ProgramFilesSecurity::ProgramFilesSecurity() {
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kProgramFilesDacl, SDDL_REVISION_1,
                                                            &descriptor_, nullptr)) {
    descriptor_ = nullptr;
  }
  attributes_.nLength = sizeof(attributes_);
  attributes_.lpSecurityDescriptor = descriptor_;
  attributes_.bInheritHandle = FALSE;
}

ProgramFilesSecurity::~ProgramFilesSecurity() {
  if (descriptor_ != nullptr) LocalFree(descriptor_);
}
