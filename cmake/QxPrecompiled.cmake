# Precompiled headers: the standard library for the product's libraries, GoogleTest and gmock on top
# for the tests, Qt's widgets for the windows. GCC takes a precompiled header only where the flags
# that shape code match (-fPIC against -fPIE, -fvisibility, the sanitizers), so one header is compiled
# per kind of target and the others of that kind reuse it (REUSE_FROM); -Winvalid-pch, which CMake
# passes, makes a mismatch an error under QX_WERROR instead of a silent slow build.
#
# ccache caches compilations with a precompiled header only with the sloppiness set in CMakeLists.txt
# (pch_defines,time_macros, see "man ccache", section PRECOMPILED HEADERS); CMake includes the header
# with -include, which ccache needs.

# Off for Windows: the DLL exports classes with standard members, which a header precompiled with the
# engine's hidden visibility would make clash; the cross build is small enough without.
if(WIN32)
    option(QX_PCH "Precompile the standard library, GoogleTest and Qt headers" OFF)
else()
    option(QX_PCH "Precompile the standard library, GoogleTest and Qt headers" ON)
endif()

# GCC 12 reports the memcpy inlined from std::string's concatenation as out of bounds or overflowing
# (false positives it keeps quiet about while the standard headers are read as text: taken from a
# precompiled header, they no longer count as system headers for these late warnings).
if(QX_PCH AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    add_compile_options(-Wno-array-bounds -Wno-stringop-overflow -Wno-stringop-overread)
endif()

set(QX_PCH_STD
    <algorithm> <array> <atomic> <chrono> <cstddef> <cstdint> <cstdio> <cstdlib> <cstring> <ctime>
    <filesystem> <fstream> <functional> <map> <memory> <mutex> <optional> <set> <sstream> <stop_token>
    <string> <string_view> <system_error> <thread> <utility> <vector>)
set(QX_PCH_TEST ${QX_PCH_STD} <gtest/gtest.h> <gmock/gmock.h>)
set(QX_PCH_QT ${QX_PCH_STD} <QtWidgets>)

# The target that owns each kind of header, the first one given it.
set_property(GLOBAL PROPERTY QX_PCH_OWNERS "")

# qx_precompile(TARGET KIND): KIND is one of lib (static libraries and object libraries, -fPIC),
# shared (a shared library with hidden symbols), exe (test programs, -fPIE), qt (a library with Qt) or
# qtexe (a test program with Qt, which makes it -fPIC).
function(qx_precompile target kind)
    if(NOT QX_PCH)
        return()
    endif()
    get_property(owners GLOBAL PROPERTY QX_PCH_OWNERS)
    list(FIND owners "${kind}" at)
    if(at GREATER -1)
        math(EXPR at "${at} + 1")
        list(GET owners ${at} owner)
        target_precompile_headers(${target} REUSE_FROM ${owner})
        return()
    endif()
    if(kind STREQUAL "exe")
        target_precompile_headers(${target} PRIVATE ${QX_PCH_TEST})
    elseif(kind STREQUAL "qtexe")
        target_precompile_headers(${target} PRIVATE ${QX_PCH_TEST} <QtWidgets>)
    elseif(kind STREQUAL "qt")
        target_precompile_headers(${target} PRIVATE ${QX_PCH_QT})
    else()
        target_precompile_headers(${target} PRIVATE ${QX_PCH_STD})
    endif()
    set_property(GLOBAL APPEND PROPERTY QX_PCH_OWNERS ${kind} ${target})
endfunction()
