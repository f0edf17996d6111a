# Printed digits must not depend on the compiler's freedom to reassociate or contract: every
# floating-point operation is the IEEE operation the source writes, in the order it writes it.
# The build therefore refuses flags that would give the compiler that freedom, and adds
# -ffp-contract=off itself.
function(velk_refuse_nondeterministic_flags)
  string(TOUPPER "${CMAKE_BUILD_TYPE}" config)
  set(flags "${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_${config}} $ENV{CXXFLAGS}")
  foreach(flag -ffast-math -Ofast -funsafe-math-optimizations -fassociative-math)
    string(FIND " ${flags} " " ${flag} " at)
    if(NOT at EQUAL -1)
      message(FATAL_ERROR
        "velk: ${flag} found in the C++ flags (\"${flags}\"): it lets the compiler reorder "
        "floating-point operations, and the printed energies would change with the compiler and "
        "the machine; remove it")
    endif()
  endforeach()
  string(REGEX MATCHALL "-ffp-contract=[a-z]*" contracts "${flags}")
  foreach(contract IN LISTS contracts)
    if(NOT contract STREQUAL "-ffp-contract=off")
      message(FATAL_ERROR
        "velk: ${contract} found in the C++ flags (\"${flags}\"): fused multiply-adds round "
        "differently from a product and a sum, and the printed energies would change with the "
        "machine; the build needs -ffp-contract=off, which it sets itself")
    endif()
  endforeach()
endfunction()

# VELK_AVX2_KERNEL: 1 where the compiler can compile one function for AVX2 beside a baseline
# program and the processor can be asked at run time whether it has AVX2 (GCC and Clang on
# x86-64); 0 elsewhere, where the vector kernels are compiled for the baseline only.
function(velk_check_avx2_kernel result)
  include(CheckCXXSourceCompiles)
  check_cxx_source_compiles([=[
    #if !defined(__x86_64__)
    #error not x86-64
    #endif
    typedef double Lanes __attribute__((vector_size(32)));
    __attribute__((target("avx2"))) double twice(const double* x) {
      Lanes v;
      __builtin_memcpy(&v, x, sizeof v);
      v = v + v;
      return v[0];
    }
    int main() {
      double x[4] = {1, 2, 3, 4};
      return __builtin_cpu_supports("avx2") ? static_cast<int>(twice(x)) - 2 : 0;
    }
  ]=] VELK_HAS_AVX2_MULTIVERSIONING)
  if(VELK_HAS_AVX2_MULTIVERSIONING)
    set(${result} 1 PARENT_SCOPE)
  else()
    set(${result} 0 PARENT_SCOPE)
  endif()
endfunction()
