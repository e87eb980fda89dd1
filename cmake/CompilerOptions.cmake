# Warnings are errors everywhere. QUILLBANK_SANITIZE adds sanitizers to every
# target, the tests included: ON for ASan and UBSan, "thread" for TSan (for
# the code that runs on several threads).
add_library(quillbank_options INTERFACE)
target_compile_options(quillbank_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  -Wimplicit-fallthrough -Werror)

if(QUILLBANK_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(QUILLBANK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
