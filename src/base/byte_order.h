#pragma once
// Little-endian field access for every byte layout that leaves the process.
#include <cstdint>
#include <cstring>

namespace sk720 {

inline uint16_t loadU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t loadU32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline int32_t loadI32(const uint8_t* p) { return int32_t(loadU32(p)); }
inline float loadF32(const uint8_t* p) {
  uint32_t u = loadU32(p);
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}

inline void storeU16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void storeU32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}
inline void storeI32(uint8_t* p, int32_t v) { storeU32(p, uint32_t(v)); }
inline void storeF32(uint8_t* p, float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  storeU32(p, u);
}

}  // namespace sk720
