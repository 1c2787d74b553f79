# One plain C++ library per source folder: every .cpp below the folder, except
# Qt front-end files (names containing Dlg, Wnd, Window or starting with Qt) and
# the sub-folders passed in EXCLUDE_DIRS (built as their own targets).
function(tesmira_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;EXCLUDE_DIRS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/(Qt[^/]*|[^/]*(Dlg|Wnd|Window)[^/]*)\\.cpp$")
  list(FILTER sources EXCLUDE REGEX "/ui/")
  foreach(dir ${ARG_EXCLUDE_DIRS})
    list(FILTER sources EXCLUDE REGEX "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/")
  endforeach()
  tesmira_add_library(${name} "${sources}" ${ARG_DEPS})
endfunction()

# A folder whose code has not arrived yet still gives a target (header-only).
function(tesmira_add_library name sources)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

# One GoogleTest program per test folder; each test case is its own ctest entry. QT_GUI: the
# program runs inside a QApplication (offscreen), for window tests.
function(tesmira_test name)
  cmake_parse_arguments(ARG "QT_GUI" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  if(ARG_QT_GUI)
    list(APPEND sources ${PROJECT_SOURCE_DIR}/tests/support/QtGuiTestMain.cpp)
    set(main_lib Qt6::Widgets Qt6::Test)
  else()
    set(main_lib GTest::gtest_main)
  endif()
  add_executable(${name} ${sources})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock ${main_lib})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                       PROPERTIES TIMEOUT 60
                       ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# The Qt side of a source folder: its windows and dialogs (files named Qt*, *Dlg*, *Wnd*,
# *Window*, or under ui/), one Qt Widgets library beside the folder's plain one.
function(tesmira_ui_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources INCLUDE REGEX "/(Qt[^/]*|[^/]*(Dlg|Wnd|Window)[^/]*)\\.cpp$|/ui/")
  if(NOT sources)
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} Qt6::Widgets)
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
endfunction()
