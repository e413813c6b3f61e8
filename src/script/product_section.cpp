#include "script/product_section.h"

#include "base/utf8.h"

namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

bool EqualsIgnoringCase(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] + 32) : text[i];
    if (c != lower[i]) return false;
  }
  return true;
}

struct KeyName {
  const char* lower;
  ProductKey key;
  std::string Product::*field;
};
constexpr KeyName kKeys[] = {
    {"id", ProductKey::kId, &Product::id},
    {"name", ProductKey::kName, &Product::name},
    {"version", ProductKey::kVersion, &Product::version},
    {"publisher", ProductKey::kPublisher, &Product::publisher},
    {"url", ProductKey::kUrl, &Product::url},
    {"icon", ProductKey::kIcon, &Product::icon},
    {"removeprompt", ProductKey::kRemovePrompt, &Product::removePrompt},
    {"scope", ProductKey::kScope, &Product::scope},
};

void ReplaceAll(std::u16string& text, std::u16string_view what, std::u16string_view with) {
  for (size_t at = text.find(what); at != std::u16string::npos;
       at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
}

}  // namespace

ProductSkip ParseProductLine(std::string_view line, ProductLine* out) {
  line = line.substr(0, line.find('\0'));
  if (TrimBlanks(line).empty()) return ProductSkip::kEmptyLine;
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return ProductSkip::kNoEquals;
  ProductLine parsed;
  parsed.name = TrimBlanks(line.substr(0, equals));
  parsed.value = TrimBlanks(line.substr(equals + 1));
  for (const KeyName& key : kKeys) {
    if (EqualsIgnoringCase(parsed.name, key.lower)) parsed.key = key.key;
  }
  *out = parsed;
  return parsed.key == ProductKey::kUnknown ? ProductSkip::kUnknownKey : ProductSkip::kNone;
}

bool IsPerUserScope(std::string_view scope) { return EqualsIgnoringCase(scope, "user"); }

bool IsValidProductId(std::string_view id) {
  if (id.empty() || id.size() > kProductIdBytes) return false;
  for (const char c : id) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '-' || c == '_';
    if (!ok) return false;
  }
  return true;
}

Product ReadProductSection(ScriptText script, const LocaleName& localeName) {
  Product product;
  uint8_t* body = FindSection(script, localeName, "product");
  if (body == nullptr) return product;
  product.present = true;
  LineReader reader(script, body);
  char* line = nullptr;
  size_t length = 0;
  while (!reader.AtBodyEnd() && reader.Next(&line, &length)) {
    ProductLine parsed;
    if (ParseProductLine(std::string_view(line, length), &parsed) != ProductSkip::kNone) continue;
    for (const KeyName& key : kKeys) {
      if (key.key == parsed.key) product.*key.field = std::string(parsed.value);
    }
  }
  return product;
}

Product ReadPlainProduct(const uint8_t* bytes, size_t length) {
  std::string copy(reinterpret_cast<const char*>(bytes), length);
  return ReadProductSection(ScriptText{reinterpret_cast<uint8_t*>(copy.data()), copy.size()},
                            LocaleName{});
}

std::u16string RemovePromptText(const Product& product, std::u16string_view folder) {
  std::u16string text = product.removePrompt.empty()
                            ? std::u16string(u"Remove {name} from {folder}?")
                            : Utf8ToWide(product.removePrompt);
  ReplaceAll(text, u"{name}", Utf8ToWide(product.name.empty() ? product.id : product.name));
  ReplaceAll(text, u"{folder}", folder);
  return text;
}

namespace {

bool IsDottedNumber(std::string_view version) {
  bool digitBefore = false;
  for (const char c : version) {
    if (c == '.' && digitBefore) {
      digitBefore = false;
    } else if (c >= '0' && c <= '9') {
      digitBefore = true;
    } else {
      return false;
    }
  }
  return digitBefore;
}

// Two runs of digits as the numbers they write, however long.
int CompareNumbers(std::string_view a, std::string_view b) {
  while (!a.empty() && a.front() == '0') a.remove_prefix(1);
  while (!b.empty() && b.front() == '0') b.remove_prefix(1);
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  const int order = a.compare(b);
  return (order > 0) - (order < 0);
}

std::string_view TakePart(std::string_view* version) {
  const size_t dot = version->find('.');
  const std::string_view part = version->substr(0, dot);
  version->remove_prefix(dot == std::string_view::npos ? version->size() : dot + 1);
  return part;
}

}  // namespace

int CompareVersions(std::string_view a, std::string_view b) {
  if (!IsDottedNumber(a) || !IsDottedNumber(b)) {
    const int order = a.compare(b);
    return (order > 0) - (order < 0);
  }
  while (!a.empty() || !b.empty()) {
    if (const int order = CompareNumbers(TakePart(&a), TakePart(&b)); order != 0) return order;
  }
  return 0;
}
