# Crc.cmake - the library behind Crc32: libdeflate's CRC-32 where the system has it, zlib's otherwise
#
# Both give the same standard CRC-32; libdeflate's runs at about three to four
# times zlib's speed on a current x86-64 processor (carry-less multiply), so
# identification keeps pace with the reads. The Windows cross build finds no
# libdeflate in its cross tree and keeps zlib. QUOR_CRC_LIBDEFLATE tells
# identify/crc32.cpp which one it is built on.
option(QUOR_USE_LIBDEFLATE "Compute CRC-32 with libdeflate when it is found" ON)

if(QUOR_USE_LIBDEFLATE)
  find_path(LIBDEFLATE_INCLUDE_DIR libdeflate.h)
  find_library(LIBDEFLATE_LIBRARY NAMES deflate libdeflate)
endif()

if(QUOR_USE_LIBDEFLATE AND LIBDEFLATE_INCLUDE_DIR AND LIBDEFLATE_LIBRARY)
  target_compile_definitions(quorcore PUBLIC QUOR_CRC_LIBDEFLATE=1)
  target_include_directories(quorcore PRIVATE ${LIBDEFLATE_INCLUDE_DIR})
  target_link_libraries(quorcore PUBLIC ${LIBDEFLATE_LIBRARY})
  message(STATUS "CRC-32: libdeflate (${LIBDEFLATE_LIBRARY})")
else()
  message(STATUS "CRC-32: zlib (libdeflate not found)")
endif()
