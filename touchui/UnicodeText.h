// What a text field needs to know about the characters typed into it: which ones are text, where
// the last grapheme cluster (what a reader takes for one character) begins, and which way a line
// runs. Text is wchar_t, one code point each.
#pragma once

#include <cstddef>

// A character a text field takes: not a control character, a surrogate, a non-character or a
// line or paragraph separator.
bool IsTypable(char32_t c);

// True when a cluster boundary lies before text[i] (0 < i < length); the text's ends always are.
bool IsGraphemeBoundary(const wchar_t* text, size_t length, size_t i);

// Where the cluster that ends the text begins: a letter with its marks, an emoji with its
// modifiers and joined parts, a flag's two letters, a Hangul syllable's jamo. 0 for empty text.
size_t LastGraphemeStart(const wchar_t* text, size_t length);

// True when the text's first strong character belongs to a right-to-left script, which is how
// the platform's DrawText orders a paragraph. Decided by script blocks: close enough to place a
// caret and to align a line.
bool IsRightToLeftText(const wchar_t* text);
