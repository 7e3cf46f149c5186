# Helpers that keep the per-folder libraries uniform: every .cpp of a folder is
# compiled, so adding a source file needs no change here.

function(_ls_library name dir)
    cmake_parse_arguments(ARG "" "" "EXTRA" ${ARGN})
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp
         ${CMAKE_SOURCE_DIR}/${dir}/*.h)
    if(srcs)
        add_library(${name} STATIC ${srcs} ${ARG_EXTRA})
        target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
        target_link_libraries(${name} PUBLIC ${ARG_UNPARSED_ARGUMENTS})
    else()
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
        target_link_libraries(${name} INTERFACE ${ARG_UNPARSED_ARGUMENTS})
    endif()
endfunction()

function(ls_core_library name dir)
    _ls_library(${name} ${dir} Qt5::Core Qt5::Gui ${ARGN})
endfunction()

function(ls_gui_library name dir)
    _ls_library(${name} ${dir} Qt5::Widgets ${ARGN})
endfunction()

# A test executable made of every .cpp in a folder of tests/.
function(ls_test name dir main)
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp
         ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.h)
    if(NOT srcs)
        return()
    endif()
    add_executable(${name} ${srcs} ${main})
    target_link_libraries(${name} PRIVATE ${ARGN} ls_test_support GTest::gtest)
    target_compile_definitions(${name} PRIVATE
        LS_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
        LS_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        LS_BINARY_DIR="${CMAKE_BINARY_DIR}")
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 DISCOVERY_MODE PRE_TEST
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LUMENSTACK_QUIET_LOG=1"
        TIMEOUT 300)
endfunction()
