# Cross build for Windows with MinGW-w64: everything links the C and C++
# runtimes statically, so the DLL and the test programs need no MinGW DLLs.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 WINVER=0x0501)
add_link_options(-static -static-libgcc -static-libstdc++)

# The Wine loader that runs this architecture's programs, and a probe of
# whether this machine can run it at all (some kernels cannot start 32-bit
# Linux programs, and the 32-bit Wine loader is one).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(IH_ARCH x64)
else()
  set(IH_ARCH x86)
endif()
set(IH_WINE_RUN ${CMAKE_SOURCE_DIR}/tests/wine/run.sh)
set(IH_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(IH_WINE_ENVIRONMENT
    WINEPREFIX=${IH_WINE_PREFIX}
    WINEDEBUG=-all
    WINEDLLOVERRIDES=mscoree,mshtml=
    IH_ARCH=${IH_ARCH})
