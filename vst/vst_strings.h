// Copying texts into host buffers: at most maxLen characters, and always a zero at position
// maxLen, so the host's buffer must hold maxLen + 1 bytes (the interface's convention).
#pragma once

#include <cstring>

#include "vst2.h"

// As strncpy followed by a zero at maxLen: the unused tail up to maxLen is zeroed too.
inline char* vst_strncpy(char* dst, const char* src, VstInt32 maxLen) {
  const std::size_t limit = static_cast<std::size_t>(maxLen);
  std::size_t length = 0;
  for (; length < limit && src[length]; ++length) dst[length] = src[length];
  std::memset(dst + length, 0, limit - length + 1);
  return dst;
}

inline char* vst_strncat(char* dst, const char* src, VstInt32 maxLen) {
  std::size_t length = std::strlen(dst);
  const std::size_t limit = static_cast<std::size_t>(maxLen);
  while (length < limit && *src) dst[length++] = *src++;
  dst[length < limit ? length : limit] = 0;
  return dst;
}
