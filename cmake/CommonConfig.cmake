# Build settings shared by every target: linked as an INTERFACE library, never
# set directory-wide.
add_library(solvane_common INTERFACE)
target_compile_features(solvane_common INTERFACE cxx_std_20)
target_compile_options(solvane_common INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wno-missing-field-initializers)
target_compile_definitions(solvane_common INTERFACE _FILE_OFFSET_BITS=64)
# Headers below every layer (common/solvane/*.h), included as "solvane/...".
target_include_directories(solvane_common INTERFACE ${PROJECT_SOURCE_DIR}/common)

if(SOLVANE_SANITIZE STREQUAL "address")
  target_compile_options(solvane_common INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
  target_link_options(solvane_common INTERFACE -fsanitize=address,undefined)
elseif(SOLVANE_SANITIZE STREQUAL "thread")
  # Asio's fences are fine under TSan; the compiler's note about them is noise.
  target_compile_options(solvane_common INTERFACE -fsanitize=thread -fno-omit-frame-pointer -Wno-tsan)
  target_link_options(solvane_common INTERFACE -fsanitize=thread)
elseif(NOT SOLVANE_SANITIZE STREQUAL "")
  message(FATAL_ERROR "SOLVANE_SANITIZE must be empty, 'address' or 'thread'")
endif()

# Coverage instrumentation for the fuzz targets, on every library they link.
if(SOLVANE_FUZZ)
  target_compile_options(solvane_common INTERFACE -fsanitize=fuzzer-no-link,address,undefined
    -fno-omit-frame-pointer)
  target_link_options(solvane_common INTERFACE -fsanitize=address,undefined)
endif()
