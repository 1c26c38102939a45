// The job names an input it cannot open in the same words as the SEG-Y
// tools; the text is theirs.
#pragma once

#include "segy/tools/open_failure.h"
