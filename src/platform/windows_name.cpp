#include "platform/windows_name.h"

namespace {

char16_t AsciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 0x20) : c; }

bool EqualsAsciiUpper(std::u16string_view text, const char* upper) {
  size_t i = 0;
  for (; upper[i] != '\0'; ++i) {
    if (i == text.size() || AsciiUpper(text[i]) != static_cast<char16_t>(upper[i])) return false;
  }
  return i == text.size();
}

// Windows takes the ISO 8859-1 superscripts as digits in COM and LPT names.
bool IsDeviceDigit(char16_t c) {
  return (c >= u'1' && c <= u'9') || c == u'\u00B9' || c == u'\u00B2' || c == u'\u00B3';
}

// Windows resolves "con", "con.txt" and "con .tar.gz" alike to the device:
// the part before the first dot counts, trailing blanks dropped.
bool IsDeviceName(std::u16string_view name) {
  std::u16string_view base = name.substr(0, name.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.remove_suffix(1);
  if (base.size() == 3) {
    return EqualsAsciiUpper(base, "CON") || EqualsAsciiUpper(base, "PRN") ||
           EqualsAsciiUpper(base, "AUX") || EqualsAsciiUpper(base, "NUL");
  }
  if (base.size() == 4 && IsDeviceDigit(base[3])) {
    std::u16string_view stem = base.substr(0, 3);
    return EqualsAsciiUpper(stem, "COM") || EqualsAsciiUpper(stem, "LPT");
  }
  // The console's own input and output, opened by name like the others.
  return EqualsAsciiUpper(base, "CONIN$") || EqualsAsciiUpper(base, "CONOUT$");
}

}  // namespace

FileNameProblem CheckFileName(std::u16string_view name) {
  if (name.empty()) return FILE_NAME_EMPTY;
  if (name == u"." || name == u"..") return FILE_NAME_DOT;
  for (char16_t c : name) {
    if (c < 0x20 || c == 0x7F) return FILE_NAME_CONTROL;
    if (c == u'\\' || c == u'/' || c == u':') return FILE_NAME_SEPARATOR;
    if (c == u'*' || c == u'?' || c == u'"' || c == u'<' || c == u'>' || c == u'|') {
      return FILE_NAME_RESERVED_CHAR;
    }
  }
  if (name.back() == u'.' || name.back() == u' ') return FILE_NAME_TRAILING;
  if (IsDeviceName(name)) return FILE_NAME_DEVICE;
  return FILE_NAME_OK;
}
