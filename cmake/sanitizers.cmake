# Checked builds, each in a tree of its own:
#   VORZLE_SANITIZE=thread              the concurrency tests under ThreadSanitizer
#   VORZLE_SANITIZE=address,undefined   the native tests, the renderer and the plug-in
#                                       under AddressSanitizer and UndefinedBehaviorSanitizer
#   VORZLE_FUZZ=ON (with clang)         the libFuzzer targets of tests/fuzz, under both
# Every object of the tree is instrumented, and the first finding ends the
# program: nothing is reported and then carried on from.
set(VORZLE_SANITIZE "" CACHE STRING "Build the checked native tests with these sanitizers: thread, or address,undefined")
option(VORZLE_FUZZ "Build only the fuzz targets (needs clang)" OFF)

set(sanitizers ${VORZLE_SANITIZE})
if(VORZLE_FUZZ)
  set(sanitizers address,undefined)
endif()
if(sanitizers)
  set(sanitizer_flags -fsanitize=${sanitizers} -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
  if(sanitizers MATCHES "undefined")
    # Not part of "undefined" by default: a float too large for the integer
    # it is converted to (a rate or a size from a careless host).
    list(APPEND sanitizer_flags -fsanitize=float-cast-overflow)
  endif()
  add_compile_options(${sanitizer_flags})
  add_link_options(${sanitizer_flags})
  if(VORZLE_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link)
  endif()
endif()
