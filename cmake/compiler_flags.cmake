# Warnings, sanitizers and the no-exceptions/no-RTTI rule for the program's folders.
add_compile_options(-Wall -Wextra)
if(GRIDSHOW_WERROR)
  add_compile_options(-Werror)
endif()
if(GRIDSHOW_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# The program's own code must build into a small executable with a minimal runtime.
set(GRIDSHOW_LEAN_FLAGS -fno-exceptions -fno-rtti)
