# Writes a file's bytes as a C++ array, so that the program carries the data
# instead of reading it at run time. Run in script mode:
#   cmake -DINPUT=FILE -DOUTPUT=FILE.cpp -DSYMBOL=NAME -DHEADER=path/to/decl.h -P embed_file.cmake
# The output defines `const std::uint8_t NAME[]` and `const std::size_t NAME_length`.
foreach(required INPUT OUTPUT SYMBOL HEADER)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "embed_file.cmake needs -D${required}=...")
  endif()
endforeach()

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_digits)
math(EXPR byte_count "${hex_digits} / 2")
if(byte_count EQUAL 0)
  message(FATAL_ERROR "${INPUT} is empty")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Sixteen bytes a line (CMake's regular expressions have no {n} repeat).
string(REPEAT "0x[0-9a-f][0-9a-f]," 16 line_of_bytes)
string(REGEX REPLACE "(${line_of_bytes})" "\\1\n    " bytes "${bytes}")

file(WRITE "${OUTPUT}"
  "// Generated from ${INPUT} at build time; do not edit.\n"
  "#include \"${HEADER}\"\n\n"
  "const std::uint8_t ${SYMBOL}[] = {\n    ${bytes}\n};\n"
  "const std::size_t ${SYMBOL}_length = ${byte_count};\n")
