# Installs the library part of a build (component dev) into a fresh prefix, builds
# examples/read_capture.cpp against it twice — through find_package(k740) and through
# pkg-config — outside the source tree, and checks what the example prints against
# k740-convert info on the same capture.
#
# cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DCAPTURE=... -DCONVERT=... -P this file
foreach(v BUILD_DIR SOURCE_DIR WORK_DIR CAPTURE CONVERT)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "${v} is not set")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component dev)
foreach(f include/k740/k740.h include/k740/playback/capture_index.h lib/cmake/k740/k740Config.cmake
    lib/pkgconfig/k740.pc)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "the install lacks ${f}")
  endif()
endforeach()
if(EXISTS ${prefix}/include/k740/device/CodeDialog.h)
  message(FATAL_ERROR "a dialog's widget header was installed")
endif()

# The example is copied out of the tree so that nothing but the prefix can be found.
file(COPY ${SOURCE_DIR}/examples/read_capture.cpp ${SOURCE_DIR}/examples/CMakeLists.txt
  DESTINATION ${WORK_DIR}/src)
run(${CMAKE_COMMAND} -S ${WORK_DIR}/src -B ${WORK_DIR}/build -DCMAKE_PREFIX_PATH=${prefix}
  -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)

run(${CONVERT} info ${CAPTURE})
string(REGEX MATCH "frames: [0-9]+" want "${out}")
run(${WORK_DIR}/build/read_capture ${CAPTURE})
if(NOT out MATCHES "^${want}\npoints: [1-9][0-9]*\n$")
  message(FATAL_ERROR "read_capture printed:\n${out}\nk740-convert info has '${want}'")
endif()
message(STATUS "find_package build: ${out}")

# pkg-config, with the prefix found from the .pc file's own place.
find_program(PKG_CONFIG pkg-config)
find_program(CXX NAMES c++ g++)
if(PKG_CONFIG AND CXX)
  set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
  run(${PKG_CONFIG} --cflags --libs k740)
  string(STRIP "${out}" flags)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  run(${CXX} -std=c++17 ${WORK_DIR}/src/read_capture.cpp -o ${WORK_DIR}/read_capture_pc ${flags})
  run(${WORK_DIR}/read_capture_pc ${CAPTURE})
  if(NOT out MATCHES "^${want}\n")
    message(FATAL_ERROR "read_capture (pkg-config build) printed:\n${out}")
  endif()
endif()
