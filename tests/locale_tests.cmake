# Tests whose results depend on the locale carry the label locale: scripts/test.sh runs them a
# second time with no locale in the environment (ctest -L locale).
#
#   dravon_discover_tests(TARGET [LOCALE_TESTS FILTER] [LABELS "LABEL[;LABEL...]"] OPTION...)
#
# discovers the tests of the GoogleTest executable TARGET as gtest_discover_tests(TARGET OPTION...)
# does. Those that the GoogleTest filter FILTER selects ("*": all of them) carry the label locale,
# the others not; every one carries LABELS besides. The labels are set when ctest reads the
# discovered tests, because the PROPERTIES of gtest_discover_tests pass one label at most.
function(dravon_discover_tests target)
  cmake_parse_arguments(PARSE_ARGV 1 _arg "" "LOCALE_TESTS;LABELS" "")
  if(NOT _arg_LOCALE_TESTS)
    _dravon_discover_labelled(${target} "" "${_arg_LABELS}" ${_arg_UNPARSED_ARGUMENTS})
  elseif(_arg_LOCALE_TESTS STREQUAL "*")
    _dravon_discover_labelled(${target} "" "${_arg_LABELS};locale" ${_arg_UNPARSED_ARGUMENTS})
  else()
    _dravon_discover_labelled(${target} "${_arg_LOCALE_TESTS}" "${_arg_LABELS};locale"
                              ${_arg_UNPARSED_ARGUMENTS})
    _dravon_discover_labelled(${target} "-${_arg_LOCALE_TESTS}" "${_arg_LABELS}"
                              ${_arg_UNPARSED_ARGUMENTS})
  endif()
endfunction()

# One discovery of TARGET's tests that FILTER selects (empty: all), labelled LABELS.
function(_dravon_discover_labelled target filter labels)
  get_property(_count TARGET ${target} PROPERTY DRAVON_DISCOVERIES)
  if(NOT _count)
    set(_count 0)
  endif()
  math(EXPR _count "${_count} + 1")
  set_property(TARGET ${target} PROPERTY DRAVON_DISCOVERIES ${_count})
  set(_list ${target}_tests_${_count})
  if(filter)
    gtest_discover_tests(${target} ${ARGN} TEST_FILTER "${filter}" TEST_LIST ${_list})
  else()
    gtest_discover_tests(${target} ${ARGN} TEST_LIST ${_list})
  endif()
  list(REMOVE_ITEM labels "")
  if(labels)
    # Read by ctest after the discovery above (TEST_INCLUDE_FILES keeps its order).
    set(_script ${CMAKE_CURRENT_BINARY_DIR}/${_list}_labels.cmake)
    file(WRITE ${_script} "if(${_list})\n"
                          "  set_tests_properties(\${${_list}} PROPERTIES LABELS \"${labels}\")\n"
                          "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${_script})
  endif()
endfunction()
