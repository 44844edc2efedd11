// The ANSI code page's multibyte rules as the system gives them (Windows only).
#pragma once

#include "system/multibyte_rules.h"

// Lead bytes as IsDBCSLeadByte tells them, lower case as CharLowerBuffA makes it; a byte sequence
// the code page does not define keeps its bytes. The object lives for the process.
const MultibyteRules& SystemMultibyteRules();
