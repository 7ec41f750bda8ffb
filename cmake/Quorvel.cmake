# Shared build rules: where binaries land in the app folder and how modules are shaped.

# A program or shared library that belongs in the app folder, finding its
# neighbours (qvplatform, modules) beside itself.
function(qv_app_binary target)
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${QV_APP_DIR}
    LIBRARY_OUTPUT_DIRECTORY ${QV_APP_DIR}
    BUILD_RPATH "$ORIGIN"
    INSTALL_RPATH "$ORIGIN")
endfunction()

# The version block every binary of the app carries (platform/Version.h): the
# project's version, named by product.
function(qv_version_block target product)
  set(QV_VERSION_TARGET ${target})
  set(QV_VERSION_PRODUCT ${product})
  configure_file(${CMAKE_SOURCE_DIR}/cmake/VersionBlock.cpp.in ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.cpp @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.cpp)
endfunction()

# A loadable module (plug-in .qpl, serial link, converter): hidden symbols, so
# that the static copies of the shared libraries inside each module never clash;
# only the C entry points marked for export are visible.
function(qv_module target output_name suffix)
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    OUTPUT_NAME ${output_name}
    SUFFIX ${suffix}
    CXX_VISIBILITY_PRESET hidden
    C_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_link_options(${target} PRIVATE -Wl,--no-undefined -Wl,--exclude-libs,ALL)
  qv_app_binary(${target})
  qv_version_block(${target} ${output_name})
endfunction()

# A GoogleTest program registered with CTest, one process per test case.
# Tests run offscreen with their own HOME, and write pictures for reviewers
# into the artifact folder (the test support sets the environment up). WIDGETS gives the program a QApplication.
# X11 runs it on an X server of its own with the openbox window manager, and
# once more without a window manager for the tests that NO_WM_FILTER (a
# GoogleTest filter) picks.
# LABELS mark the cases (the ThreadSanitizer run picks its tests by the label "thread").
#   qv_test(name [WIDGETS | X11 [NO_WM_FILTER filter]] SOURCES ... LIBS ... [TIMEOUT s] [LABELS ...])
function(qv_test target)
  cmake_parse_arguments(QT "WIDGETS;X11" "TIMEOUT;NO_WM_FILTER" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${target} ${QT_SOURCES})
  if(QT_X11)
    target_link_libraries(${target} PRIVATE qvtest_x11main ${QT_LIBS})
  elseif(QT_WIDGETS)
    target_link_libraries(${target} PRIVATE qvtest_qtmain ${QT_LIBS})
  else()
    target_link_libraries(${target} PRIVATE qvtest_main ${QT_LIBS})
  endif()
  set_target_properties(${target} PROPERTIES BUILD_RPATH "${QV_APP_DIR}")
  if(NOT QT_TIMEOUT)
    set(QT_TIMEOUT 300)
  endif()
  set(properties TIMEOUT ${QT_TIMEOUT})
  # An X11 program without Xvfb on the machine exits with 77: skipped.
  if(QT_X11)
    list(APPEND properties SKIP_RETURN_CODE 77)
  endif()
  if(QT_LABELS)
    list(APPEND properties LABELS "${QT_LABELS}")
  endif()
  # The ThreadSanitizer build builds only these (target thread_tests).
  if("thread" IN_LIST QT_LABELS)
    if(NOT TARGET thread_tests)
      add_custom_target(thread_tests)
    endif()
    add_dependencies(thread_tests ${target})
  endif()
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${properties})
  if(QT_X11 AND QT_NO_WM_FILTER)
    gtest_discover_tests(${target}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60
      TEST_FILTER ${QT_NO_WM_FILTER}
      TEST_SUFFIX .WithoutWindowManager
      PROPERTIES ${properties} ENVIRONMENT QV_WINDOW_MANAGER=none)
  endif()
endfunction()

# A robustness test with its own copies of the sources it feeds: built under
# AddressSanitizer and UndefinedBehaviorSanitizer (float-to-integer overflow
# included, which GCC leaves out of "undefined") whatever the build, so that
# undefined behaviour fails it. A ThreadSanitizer build, which cannot be mixed
# with them, leaves it as the build makes it.
function(qv_robustness_sanitizers target)
  if(QV_SANITIZE MATCHES "thread")
    return()
  endif()
  set(flags -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_compile_options(${target} PRIVATE ${flags})
  target_link_options(${target} PRIVATE ${flags})
endfunction()
