# Run by the test builds_as_a_subproject (cmake -P): a small project of its own takes this one
# in with add_subdirectory and links one of its libraries into a program, which is configured,
# built and run. Only that program's target is built, so only the libraries it needs compile.
#   -DLUMO_SOURCE=   this project's source folder
#   -DWORK=          a scratch folder, emptied first
#   -DCOMPILER= -DLAUNCHER= -DGENERATOR= -DBUILD_TYPE=   as in the tree that runs the test,
#                    so that ccache (the launcher, where there is one) finds what it compiled
foreach(name LUMO_SOURCE WORK COMPILER GENERATOR)
  if(NOT ${name})
    message(FATAL_ERROR "${name} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK})
file(WRITE ${WORK}/src/CMakeLists.txt
"cmake_minimum_required(VERSION 3.20)
project(UsesLumo CXX)
add_subdirectory(\"${LUMO_SOURCE}\" lumo)
add_executable(uses_skins main.cpp)
target_link_libraries(uses_skins PRIVATE skins)
")
file(WRITE ${WORK}/src/main.cpp
"#include \"skins/Skinnedbutton.h\"

int main()
{
    Skinnedbutton::Register();
    return TSkinnedButton::StaticClass() ? 0 : 1;
}
")

set(options -DLUMO_BENCH=OFF -DCMAKE_CXX_COMPILER=${COMPILER})
if(BUILD_TYPE)
  list(APPEND options -DCMAKE_BUILD_TYPE=${BUILD_TYPE})
endif()
if(LAUNCHER)
  list(APPEND options -DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER})
endif()
cmake_host_system_information(RESULT jobs QUERY NUMBER_OF_LOGICAL_CORES)

function(step what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed (${result}):\n${out}")
  endif()
  message(STATUS "${what}: done")
endfunction()

step("configuring" ${CMAKE_COMMAND} -S ${WORK}/src -B ${WORK}/build -G ${GENERATOR} ${options})
step("building uses_skins" ${CMAKE_COMMAND} --build ${WORK}/build --target uses_skins -j ${jobs})
step("running uses_skins" ${WORK}/build/uses_skins)
