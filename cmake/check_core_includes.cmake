cmake_policy(VERSION 3.25)
# Run by cmake -P from core_includes.cmake: ROOT, DIRS (comma-separated
# folders of the core) and STAMP, written when every include is allowed.
string(REPLACE "," ";" dirs "${DIRS}")

# The standard library, less what reaches the system: files (fstream,
# filesystem, cstdio), threads and their locks, clocks, signals, the console.
set(allowed
    algorithm any array bit bitset cassert cctype cerrno cfloat charconv cinttypes climits
    cmath compare complex concepts cstddef cstdint cstdlib cstring cwchar deque exception
    expected format functional initializer_list iomanip ios iosfwd istream iterator limits
    list map memory memory_resource new numbers numeric optional ostream queue random ranges
    ratio set source_location span sstream stack stdexcept streambuf string string_view
    system_error tuple type_traits typeindex typeinfo unordered_map unordered_set utility
    valarray variant vector version)

set(problems)
foreach(dir ${dirs})
    file(GLOB files ${ROOT}/${dir}/*.h ${ROOT}/${dir}/*.cpp)
    list(FILTER files EXCLUDE REGEX "_test\\.cpp$")
    foreach(path ${files})
        file(STRINGS ${path} lines REGEX "^[ \t]*#[ \t]*include")
        file(RELATIVE_PATH name ${ROOT} ${path})
        foreach(line ${lines})
            if(line MATCHES "include[ \t]*<([^>]+)>")
                if(NOT CMAKE_MATCH_1 IN_LIST allowed)
                    list(APPEND problems "${name}: <${CMAKE_MATCH_1}> is not part of the core's standard library")
                endif()
            elseif(line MATCHES "include[ \t]*\"([^/\"]+)/[^\"]+\"")
                if(NOT CMAKE_MATCH_1 IN_LIST dirs)
                    list(APPEND problems "${name}: \"${CMAKE_MATCH_1}/...\" is outside the core")
                endif()
            else()
                list(APPEND problems "${name}: '${line}' names no core folder")
            endif()
        endforeach()
    endforeach()
endforeach()
if(problems)
    list(JOIN problems "\n  " text)
    message(FATAL_ERROR "The core includes what it may not:\n  ${text}")
endif()
file(WRITE ${STAMP} "")
