// The Unicode simple uppercase of a UTF-16 unit: how Windows compares file
// names without regard to case.
#pragma once

// The unit itself when it has no single-unit uppercase (and for surrogates).
char16_t ToUpperCase(char16_t c);
