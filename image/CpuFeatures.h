#pragma once
// What the processor offers beyond the build's baseline, asked once. Code
// built for more (a [[gnu::target("avx2")]] function) runs only when it
// answers yes.

inline bool CpuHasAvx2() {
#if defined(__x86_64__) && defined(__GNUC__)
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
#else
  return false;
#endif
}
