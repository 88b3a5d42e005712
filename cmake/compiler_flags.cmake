# Warnings, sanitizers and the no-exceptions/no-RTTI rule for the program's folders.
add_compile_options(-Wall -Wextra)
if(GRIDSHOW_WERROR)
  add_compile_options(-Werror)
endif()
if(GRIDSHOW_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(GRIDSHOW_SANITIZE_THREADS)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# The program's own code must build into a small executable with a minimal runtime.
set(GRIDSHOW_LEAN_FLAGS -fno-exceptions -fno-rtti)

if(WIN32)
  # The Windows executable is built lean: size optimisation, no unwind tables,
  # no C++ runtime start-up, unused functions removed, switches as compare
  # chains rather than jump tables, the mixer's plain loops (the same values,
  # 4 KB less code), the show's rules as constants (it plays only its own
  # song, whose loader sets them). No -fdata-sections: MinGW's GCC then puts zero-filled
  # variables into .data sections that take room in the file (4 KiB for the
  # start-up report's buffer alone) instead of into .bss. -mcmodel=small: the
  # program's own data is addressed directly, without an 8-byte pointer slot
  # (and its relocation) for each variable another file reads.
  # -malign-data=abi: arrays aligned as the ABI asks, not to 32 bytes.
  add_compile_options(-Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
                      -fno-unwind-tables -ffunction-sections -fno-jump-tables
                      -fno-threadsafe-statics -fno-stack-protector -fno-ident -mcmodel=small
                      -malign-data=abi)
  add_compile_definitions(GRIDSHOW_PLAIN_KERNELS GRIDSHOW_SHOW_RULES_ONLY)
  # Sections aligned to a byte instead of GNU as's 16 (see the script).
  set(CMAKE_CXX_COMPILE_OBJECT
      "${CMAKE_SOURCE_DIR}/cmake/compile_unpadded.sh <OBJECT> <CMAKE_CXX_COMPILER> <DEFINES> <INCLUDES> <FLAGS> <SOURCE>")
endif()

if(EMSCRIPTEN)
  # The browser build is lean too: size optimisation, no exceptions or RTTI
  # anywhere; the mixer takes its plain path.
  add_compile_options(-Oz -fno-exceptions -fno-rtti)
endif()
