# Debian's build flags for every optimised build: the one that makes the
# package (scripts/build-package) and the ones whose tests CI runs and which
# CI packages, so that what is tested is what is shipped. dpkg-buildflags
# gives them with every hardening feature: fortified libc functions, the
# stack protector, format-string errors, and relocations read-only and bound
# at start (bindnow). Optimisation and debug information stay the build
# type's. Sanitizer and fuzzing builds, and Debug builds, which fortification
# would warn about at -O0, go without.
option(TESSARA_DEBIAN_BUILD_FLAGS "Compile and link with dpkg-buildflags' hardening flags" ON)
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT TESSARA_DEBIAN_BUILD_FLAGS OR TESSARA_SANITIZE OR TESSARA_FUZZ
   OR CMAKE_BUILD_TYPE STREQUAL "Debug")
    return()
endif()
if(NOT DPKG_BUILDFLAGS)
    message(STATUS "dpkg-buildflags not found (scripts/install-deps installs it): "
        "no hardening flags")
    return()
endif()

# The file paths stay absolute (no -ffile-prefix-map or -fdebug-prefix-map),
# so that a debugger finds the sources of a developer's build; the package
# carries no debug information and no source paths.
set(dpkg_environment
    "DEB_BUILD_MAINT_OPTIONS=hardening=+all reproducible=-fixfilepath,-fixdebugpath"
    "DEB_CFLAGS_MAINT_STRIP=-g -O2"
    "DEB_CXXFLAGS_MAINT_STRIP=-g -O2")
foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env ${dpkg_environment} ${DPKG_BUILDFLAGS} --get ${kind}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed: ${status}")
    endif()
    separate_arguments(dpkg_${kind} UNIX_COMMAND "${flags}")
endforeach()
add_compile_options(${dpkg_CPPFLAGS} ${dpkg_CXXFLAGS})
add_link_options(${dpkg_LDFLAGS})
list(JOIN dpkg_CPPFLAGS " " shown_compile)
list(JOIN dpkg_CXXFLAGS " " shown_cxx)
list(JOIN dpkg_LDFLAGS " " shown_link)
message(STATUS "Debian build flags: ${shown_compile} ${shown_cxx}; linking: ${shown_link}")
