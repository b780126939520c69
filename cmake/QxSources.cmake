# Where Linux and Windows differ, a folder holds one file per system: `LauncherPosix.cpp` and
# `LauncherWin32.cpp` (tests likewise: `...PosixTest.cpp`, `...Win32Test.cpp`). qx_sources(OUT DIR) gives
# the .cpp files of DIR that belong to the system being built for.
function(qx_sources out dir)
    file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
    if(WIN32)
        list(FILTER sources EXCLUDE REGEX "Posix(Test)?\\.cpp$")
    else()
        list(FILTER sources EXCLUDE REGEX "Win32(Test)?\\.cpp$")
    endif()
    set(${out} ${sources} PARENT_SCOPE)
endfunction()
