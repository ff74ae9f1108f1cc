# The core may include the standard library's headers and its own, nothing
# else: no system, device or third-party header, and none of the standard
# headers that reach the system (files, threads, clocks, the console).
# zirvon_check_core_includes(TARGET DIR...) makes TARGET wait for a check of
# every source in the folders DIR..., which fails the build naming the file,
# the line and the header.

set(ZIRVON_CORE_INCLUDES_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/check_core_includes.cmake)

function(zirvon_check_core_includes target)
    set(sources)
    foreach(dir ${ARGN})
        file(GLOB found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${dir}/*.h ${PROJECT_SOURCE_DIR}/${dir}/*.cpp)
        list(FILTER found EXCLUDE REGEX "_test\\.cpp$")
        list(APPEND sources ${found})
    endforeach()
    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/core_includes.stamp)
    string(REPLACE ";" "," dirs "${ARGN}")
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -DROOT=${PROJECT_SOURCE_DIR} -DDIRS=${dirs}
                -DSTAMP=${stamp} -P ${ZIRVON_CORE_INCLUDES_SCRIPT}
        DEPENDS ${sources} ${ZIRVON_CORE_INCLUDES_SCRIPT}
        COMMENT "Checking that the core includes only the standard library"
        VERBATIM)
    add_custom_target(${target}_includes DEPENDS ${stamp})
    add_dependencies(${target} ${target}_includes)
endfunction()
