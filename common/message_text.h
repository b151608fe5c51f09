// Building the text of a message box from a string-table template.
#pragma once

#include <cstddef>

namespace quillo {

// Copies `tmpl` into `out` (size `outSize` > 0, always terminated), putting `arg`
// in place of the first "%s". The argument is spliced in, never used as a format,
// so a file name holding "%" is shown as it is. A text that does not fit is cut
// at a character boundary as judged by `isLead` (may be null for single-byte).
// When `extraLine` is not null it is added on a line of its own below the text.
void BuildMessageText(const char* tmpl, const char* arg, const char* extraLine,
                      bool (*isLead)(unsigned char), char* out, size_t outSize);

}  // namespace quillo
