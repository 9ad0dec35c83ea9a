# SPDX-License-Identifier: GPL-3.0-or-later
# cmake -DSOURCE_DIR=<repository> -DNM=<nm> -DPRODUCTS=<file>|<file>... -DCONTROL=<file>
#       -P CheckNoTestCodeInProduct.cmake
#
# Fails when a product library or program (PRODUCTS, as built) contains or
# refers to test code: a class declared at the top level of a header under
# tests/ or bench/ (test doubles, loopback peers, fixtures). The names are
# read from the headers on each run, so a double added later is covered too.
# CONTROL, a library of test doubles, must show them, or the search itself is
# broken.

file(GLOB_RECURSE headers "${SOURCE_DIR}/tests/*.h" "${SOURCE_DIR}/bench/*.h")
set(names "")
foreach(header IN LISTS headers)
  # Declarations at the start of a line; nested classes are indented, and a
  # forward declaration ends with a semicolon.
  file(STRINGS "${header}" lines REGEX "^(class|struct)[ \t]+[A-Za-z_][A-Za-z0-9_]*[^;]*$")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^(class|struct)[ \t]+([A-Za-z_][A-Za-z0-9_]*).*" "\\2" name "${line}")
    list(APPEND names "${name}")
  endforeach()
endforeach()
list(REMOVE_DUPLICATES names)
list(SORT names)
list(LENGTH names count)
if(count EQUAL 0)
  message(FATAL_ERROR "no test class found under tests/ and bench/: the check is broken")
endif()
list(JOIN names "|" pattern)

# The symbols of `file` (defined and referred to) that name a test class.
function(test_symbols file)
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "${file} is not built")
  endif()
  # Symbols only: an archive's "member.o:" lines name files, not code.
  execute_process(COMMAND "${NM}" -C "${file}" COMMAND grep -v ":$" COMMAND grep -wE "${pattern}"
    OUTPUT_VARIABLE out ERROR_QUIET RESULTS_VARIABLE results)
  list(GET results 0 nm_result)
  if(NOT nm_result EQUAL 0)
    message(FATAL_ERROR "${NM} -C ${file} failed (${nm_result})")
  endif()
  set(symbols "${out}" PARENT_SCOPE)
endfunction()

test_symbols("${CONTROL}")
if(symbols STREQUAL "")
  message(FATAL_ERROR "no test class found in ${CONTROL}, which is made of them: the check is broken")
endif()

string(REPLACE "|" ";" products "${PRODUCTS}")
set(failed "")
foreach(product IN LISTS products)
  test_symbols("${product}")
  if(NOT symbols STREQUAL "")
    get_filename_component(shown "${product}" NAME)
    string(REGEX MATCHALL "[^\n]+" found "${symbols}")
    list(SUBLIST found 0 10 first)
    list(JOIN first "\n    " listed)
    string(APPEND failed "\n  ${shown}:\n    ${listed}")
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "product code holds test code (classes of tests/ and bench/):${failed}")
endif()
list(LENGTH products checked)
message(STATUS "${checked} product libraries and programs hold none of the ${count} test classes: ${names}")
