# Windows.cmake - what only the Windows build needs: a self-contained executable and its manifest
if(NOT WIN32)
  return()
endif()

# The ...A calls take the active code page; the manifest sets it to UTF-8 for
# every executable that links the program's library (the program and the test
# executables alike), so that they all see the same file names.
if(MINGW OR MSVC)
  enable_language(RC)
  target_sources(quorcore INTERFACE ${CMAKE_CURRENT_SOURCE_DIR}/platform/quorvboy.rc)
  set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/platform/quorvboy.rc APPEND PROPERTY
               OBJECT_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/platform/quorvboy.manifest)
endif()

if(MINGW)
  # Linked statically (C and C++ runtime, winpthread, zlib), the program runs on
  # a bare Windows with nothing but its own .exe. QuorVBoy is defined before
  # this file is read; everything defined after it gets the option here.
  target_link_options(QuorVBoy PRIVATE -static)
  add_link_options(-static)

  # FindZLIB picks the import library libz.dll.a; point zlib at the static
  # archive beside it, so that no zlib1.dll is needed.
  if(TARGET ZLIB::ZLIB)
    foreach(prop IMPORTED_LOCATION IMPORTED_LOCATION_RELEASE IMPORTED_LOCATION_DEBUG)
      get_target_property(zlib_location ZLIB::ZLIB ${prop})
      if(zlib_location AND zlib_location MATCHES "\\.dll\\.a$")
        string(REGEX REPLACE "\\.dll\\.a$" ".a" zlib_static "${zlib_location}")
        if(EXISTS "${zlib_static}")
          set_target_properties(ZLIB::ZLIB PROPERTIES ${prop} "${zlib_static}")
        endif()
      endif()
    endforeach()
  endif()
endif()
