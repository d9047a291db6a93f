// Header block helpers. A header block is a Text of header lines joined by CR LF; in each line the
// name is the bytes before the first ':' and the value the bytes after it.
#pragma once

#include "text/text.h"

// Keeps the lines that hold a ':', upper-casing the first byte of the name and each byte of the
// name that follows a '-'; the lines are joined by CR LF with none after the last.
Text NormalizeHeaderNames(const Text& block);
// The word with its first byte upper-cased.
Text CapitalizeFirst(const Text& word);
// The trimmed name and value of one header line; both empty when the line has no ':'.
Text HeaderNameOf(const Text& line);
Text HeaderValueOf(const Text& line);
