#pragma once

#include "text/text.h"

// Standard Base64 (RFC 4648 alphabet, '=' padding, no line breaks).
Text Base64Encode(const Bytes& data);
