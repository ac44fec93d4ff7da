# The driver's entries in an odbcinst.ini: one for each name in DRAVON_DRIVER_NAMES, each made
# from packaging/odbcinst-entry.in, the template the registration script fills in as well. The
# build tree's registration, the installed one and the package's all come from it.
set(DRAVON_DRIVER_ENTRY_TEMPLATE ${PROJECT_SOURCE_DIR}/packaging/odbcinst-entry.in)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${DRAVON_DRIVER_ENTRY_TEMPLATE})

# Sets OUT to the entries of the driver LIBRARY (a path, written as given), a blank line between
# two entries.
function(dravon_driver_entries out library)
  file(READ ${DRAVON_DRIVER_ENTRY_TEMPLATE} _template)
  set(_entries "")
  foreach(DRIVER_NAME IN LISTS DRAVON_DRIVER_NAMES)
    set(DRIVER_LIBRARY "${library}")
    string(CONFIGURE "${_template}" _entry @ONLY)
    if(_entries)
      string(APPEND _entries "\n")
    endif()
    string(APPEND _entries "${_entry}")
  endforeach()
  set(${out} "${_entries}" PARENT_SCOPE)
endfunction()
