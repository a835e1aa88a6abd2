# One static library per subsystem folder, made of every source file in it (sub-folders
# included, except `main/`, which holds program entry points). A folder with no source yet
# gives an interface library, so that other targets can already name it.
function(velodrix_library name)
  cmake_parse_arguments(ARG "" "" "LINKS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  list(FILTER sources EXCLUDE REGEX "^${CMAKE_CURRENT_SOURCE_DIR}/main/")
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${VELODRIX_ROOT})
    target_link_libraries(${name} PUBLIC ${ARG_LINKS} Threads::Threads)
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${VELODRIX_ROOT})
    target_link_libraries(${name} INTERFACE ${ARG_LINKS} Threads::Threads)
  endif()
endfunction()

# A test executable for one source folder: every *.cpp under tests/<folder>/, with the shared
# test support, run by ctest.
function(velodrix_test_folder folder)
  cmake_parse_arguments(ARG "" "" "LINKS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  set(target test_${folder})
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE ${ARG_LINKS} test_support GTest::gmock GTest::gtest_main)
  target_compile_definitions(${target} PRIVATE VELODRIX_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/${folder}/data")
  # Optimised as a whole, this compiler takes the copies of string literals into std::string that
  # the tests' recording lambdas make for reads past the literal (it sizes the source by the
  # string's inline buffer), and says so at link time.
  if(CMAKE_INTERPROCEDURAL_OPTIMIZATION)
    target_link_options(${target} PRIVATE -Wno-stringop-overread)
  endif()
  # Suites that bring up SDL video and the GL driver keep them until the process ends; the leak
  # check at exit then stops the driver's threads mid-flight and can crash, and it cannot name the
  # driver's own allocations. Those suites run with the address checks but without the leak check.
  set(environment "")
  if(VELODRIX_SANITIZE AND folder IN_LIST VELODRIX_GL_TEST_FOLDERS)
    set(environment "ASAN_OPTIONS=detect_leaks=0")
  endif()
  gtest_discover_tests(${target}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 600 ENVIRONMENT "${environment}")
endfunction()
