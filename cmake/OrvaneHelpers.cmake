# Warnings are errors on the project's own code only (ORVANE_WERROR); third-party headers
# come in as SYSTEM.
function(orvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic $<$<BOOL:${ORVANE_WERROR}>:-Werror>)
  # From GCC 12 on, optimised builds report impossible overlaps inside std::string's own
  # copies ("x" + s, s = "x"; GCC bugs 105329 and 105651), so the release build would fail.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()

# The SDK's own code is built with hidden visibility: only what include/orvane/ marks with
# ORVANE_EXPORT leaves the shared library. Tests and tools keep the default, so that their
# copies of a shared library's inline code (cpp-httplib's) still resolve to the library's.
function(orvane_hidden target)
  set_target_properties(${target} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
endfunction()

# Sources of a folder, found again at build time so that new files need no list edits.
function(orvane_glob out)
  file(GLOB_RECURSE _files CONFIGURE_DEPENDS ${ARGN})
  set(${out} ${_files} PARENT_SCOPE)
endfunction()

# Embeds a resource file into a generated source; the bytes are reachable as
# orvane::resources::SYMBOL (a std::string_view).
function(orvane_embed out_var symbol input)
  set(_out ${CMAKE_CURRENT_BINARY_DIR}/embedded/${symbol}.cpp)
  add_custom_command(
    OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${_out} -DSYMBOL=${symbol} -P ${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake
    DEPENDS ${input} ${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake
    COMMENT "Embedding ${input}"
    VERBATIM)
  set(${out_var} ${${out_var}} ${_out} PARENT_SCOPE)
endfunction()
