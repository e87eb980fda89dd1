# Every target of ours builds with these warnings. The development and CI
# presets make them errors; a distribution's plain build (another compiler
# version, other flags) reports them and goes on. QUILLBANK_SANITIZE adds
# sanitizers to every target, the tests included: ON for ASan and UBSan,
# "thread" for TSan (for the code that runs on several threads).
option(QUILLBANK_WARNINGS_AS_ERRORS "Stop the build at any compiler warning (the presets turn this on)" OFF)
add_library(quillbank_options INTERFACE)
target_compile_options(quillbank_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  -Wimplicit-fallthrough)
if(QUILLBANK_WARNINGS_AS_ERRORS)
  target_compile_options(quillbank_options INTERFACE -Werror)
endif()

if(QUILLBANK_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(QUILLBANK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Under AddressSanitizer and UBSan, an unoptimised program carries some 700,000
# pointers in its checks' data, each relocated at every start when the program
# is position independent. Linked at a fixed address instead, the command-line
# tool starts in 100 ms rather than 170: the tests start it, and the test
# programs themselves, thousands of times. Qt's programs stay position
# independent, as Qt requires.
function(quillbank_link_for_quick_start target)
  if(QUILLBANK_SANITIZE AND NOT QUILLBANK_SANITIZE STREQUAL "thread")
    target_link_options(${target} PRIVATE -no-pie)
  endif()
endfunction()
