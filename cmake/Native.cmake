# Native (Linux) build of the code that does not need Windows, under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set(IH_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
# The benchmark build measures the code as shipped: no sanitizers.
option(IH_SANITIZE "Build the native code with ASan + UBSan" ON)
option(IH_BENCHMARKS "Build the benchmarks (Google Benchmark, zlib)" OFF)
if(NOT IH_SANITIZE)
  set(IH_SANITIZERS "")
endif()
add_compile_options(${IH_SANITIZERS})
add_link_options(${IH_SANITIZERS})

add_library(ih_portable STATIC
  ${CMAKE_SOURCE_DIR}/src/frame/Decimal.cpp
  ${CMAKE_SOURCE_DIR}/src/frame/Fields.cpp
  ${CMAKE_SOURCE_DIR}/src/frame/LogFormat.cpp
  ${CMAKE_SOURCE_DIR}/src/frame/MultiString.cpp
  ${CMAKE_SOURCE_DIR}/src/frame/Paths.cpp
  ${CMAKE_SOURCE_DIR}/src/scripts/CommandLine.cpp
  ${CMAKE_SOURCE_DIR}/src/scripts/ScriptList.cpp
  ${CMAKE_SOURCE_DIR}/src/scripts/ScriptOptions.cpp
  ${CMAKE_SOURCE_DIR}/src/update/ClassicPackageDescription.cpp
  ${CMAKE_SOURCE_DIR}/src/cleanup/WorkItemData.cpp)
target_include_directories(ih_portable PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_options(ih_portable PRIVATE ${IH_WARNINGS})

# The cipher and checksum families.
target_sources(ih_portable PRIVATE
  ${CMAKE_SOURCE_DIR}/src/crypto/Cipher.cpp
  ${CMAKE_SOURCE_DIR}/src/crypto/Checksum.cpp
  ${CMAKE_SOURCE_DIR}/src/crypto/ChunkedChecksum.cpp)

# Which systems have Security Center.
target_sources(ih_portable PRIVATE ${CMAKE_SOURCE_DIR}/src/notify/SecurityCenterVersion.cpp)

# The catalogue reader.
target_sources(ih_portable PRIVATE
  ${CMAKE_SOURCE_DIR}/src/update/Catalogue.cpp
  ${CMAKE_SOURCE_DIR}/src/update/MultibyteText.cpp
  ${CMAKE_SOURCE_DIR}/src/update/SingleByteCodePage.cpp)

# The security descriptor model.
target_sources(ih_portable PRIVATE
  ${CMAKE_SOURCE_DIR}/src/security/Sid.cpp
  ${CMAKE_SOURCE_DIR}/src/security/Ace.cpp
  ${CMAKE_SOURCE_DIR}/src/security/Dacl.cpp
  ${CMAKE_SOURCE_DIR}/src/security/DescriptorLayout.cpp)

# The choice of the on-access driver set.
target_sources(ih_portable PRIVATE ${CMAKE_SOURCE_DIR}/src/services/DriverSets.cpp)
