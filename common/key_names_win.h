// The system's key names for the key-text rule.
#pragma once

#include "key_text.h"

namespace quillo {

class SystemKeyNames final : public KeyNameSource {
 public:
  uint32_t ScanCode(uint32_t vk) noexcept override;
  size_t KeyName(int32_t lParam, char* out, size_t outSize) noexcept override;
};

}  // namespace quillo
