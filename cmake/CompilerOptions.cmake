# Warnings are errors everywhere; the sanitizer build adds ASan and UBSan to
# every target, the tests included.
add_library(quillbank_options INTERFACE)
target_compile_options(quillbank_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  -Wimplicit-fallthrough -Werror)

if(QUILLBANK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
