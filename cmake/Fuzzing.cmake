# The fuzzing build: every object carries libFuzzer's coverage hooks and the
# address and undefined-behaviour checks; the fuzz programs link the engine.
if(QUILLBANK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "QUILLBANK_FUZZ needs clang (the \"fuzz\" preset sets clang++-14)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
