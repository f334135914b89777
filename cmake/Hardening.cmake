# Debian's hardening flags as dpkg-buildflags gives them (stack protector,
# fortified C library calls, format checks, read-only relocations bound at
# start with -z now), for every build where dpkg-buildflags is installed, so
# that the tested program is the packaged one. The build type keeps deciding
# optimisation and debug information; fortification needs optimisation, so an
# unoptimised build goes without it. DEB_BUILD_MAINT_OPTIONS set by the caller
# wins over the default "hardening=+all".
find_program(PAKSCOPE_DPKG_BUILDFLAGS dpkg-buildflags)
if(PAKSCOPE_DPKG_BUILDFLAGS AND NOT PAKSCOPE_FUZZ)
  if(DEFINED ENV{DEB_BUILD_MAINT_OPTIONS})
    set(pakscope_maint_options "$ENV{DEB_BUILD_MAINT_OPTIONS}")
  else()
    set(pakscope_maint_options "hardening=+all")
  endif()
  set(pakscope_optimised NO)
  if(CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
    set(pakscope_optimised YES)
  endif()
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=${pakscope_maint_options}
              ${PAKSCOPE_DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(WARNING "dpkg-buildflags --get ${kind} failed: built without Debian's hardening")
      continue()
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-O|^-g$|^-ffile-prefix-map=")
    if(NOT pakscope_optimised)
      list(FILTER flags EXCLUDE REGEX "^-D_FORTIFY_SOURCE")
    endif()
    if(kind STREQUAL "LDFLAGS")
      add_link_options(${flags})
    else()
      add_compile_options(${flags})
    endif()
    list(JOIN flags " " shown)
    message(STATUS "Debian ${kind}: ${shown}")
  endforeach()
endif()
