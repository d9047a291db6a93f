// Cookie texts: items of the form name=value joined by "; ". Only "; " separates items; a name is
// the bytes before the item's first '=', trimmed, and compares byte for byte.
#pragma once

#include "text/text.h"

// The cookies that "Set-Cookie:" lines (any letter case, at the start of the line) set: for each,
// the trimmed part between the colon and the first ';', or the whole rest when there is no ';'.
Text ExtractResponseCookies(const TextList& lines);

// Merges the sent cookies into the returned ones: the returned items first, then the sent items
// whose names were not returned; items ending in "=deleted" are dropped and exact repeats
// collapse. Both variables are rewritten: `sent` ends up holding the result, `returned` trimmed.
Text MergeCookies(Text& sent, Text& returned);

Text CookieNameOf(const Text& item);
bool HasCookieNamed(const TextList& list, const Text& name);
// The text with items that repeat an earlier item removed, first occurrences kept in order.
Text JoinDistinct(const Text& text, const Text& separator);
// 1-based position of the first item equal to `item`, or -1.
int IndexInList(const TextList& list, const Text& item);
