# The two deliverables as Windows DLLs, built with mingw-w64 against the system's own
# headers and import libraries; nothing of the Linux platform libraries is used:
#   cmake -S . -B build-windows -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake \
#         -DWINDOWS_DELIVERABLES_ONLY=ON
#   cmake --build build-windows
if(NOT WIN32)
  message(FATAL_ERROR "WINDOWS_DELIVERABLES_ONLY needs the mingw-w64 toolchain file")
endif()
enable_language(RC)

# The DLLs carry their C++ runtime, so that they import only system DLLs.
add_link_options(-static -static-libgcc -static-libstdc++)

find_program(WIDL_EXECUTABLE NAMES x86_64-w64-mingw32-widl widl REQUIRED)
set(COM_IDL_DIR ${PROJECT_SOURCE_DIR}/platform/com/idl)
set(COM_BASE_IDLS ${COM_IDL_DIR}/wtypes.idl ${COM_IDL_DIR}/unknwn.idl)

# The registry script runner compiled into the DLL that runs its scripts; it uses only the
# registry and resource functions. Its headers are reached alone, so that every other
# header comes from the system.
set(REGISTRAR_INCLUDE_DIR ${PROJECT_BINARY_DIR}/registrar/include)
foreach(header registrar.h text.h)
  configure_file(${PROJECT_SOURCE_DIR}/platform/com/include/com/${header}
                 ${REGISTRAR_INCLUDE_DIR}/com/${header} COPYONLY)
endforeach()
add_library(registrar STATIC ${PROJECT_SOURCE_DIR}/platform/com/src/registrar.cpp
                             ${PROJECT_SOURCE_DIR}/platform/com/src/text.cpp)
target_include_directories(registrar PUBLIC ${REGISTRAR_INCLUDE_DIR})
target_compile_definitions(registrar PUBLIC WIN32_LEAN_AND_MEAN)
target_link_libraries(registrar PUBLIC advapi32)

# VornNetwork.dll: the interface header, identifiers and type library from the IDL.
set(VORN_DIR ${PROJECT_SOURCE_DIR}/vornnetwork)
set(VORN_GEN ${PROJECT_BINARY_DIR}/vornnetwork)
add_custom_command(
  OUTPUT ${VORN_GEN}/VornNetwork.h ${VORN_GEN}/VornNetwork_i.c ${VORN_GEN}/VornNetwork.tlb
         ${VORN_GEN}/stdole2.tlb
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VORN_GEN}
  COMMAND ${WIDL_EXECUTABLE} --win64 -h -I ${COM_IDL_DIR} -o ${VORN_GEN}/VornNetwork.h
          ${VORN_DIR}/VornNetwork.idl
  COMMAND ${WIDL_EXECUTABLE} --win64 -u -I ${COM_IDL_DIR} -o ${VORN_GEN}/VornNetwork_i.c
          ${VORN_DIR}/VornNetwork.idl
  COMMAND ${WIDL_EXECUTABLE} --win64 -t -o ${VORN_GEN}/stdole2.tlb ${COM_IDL_DIR}/stdole2.idl
  COMMAND ${WIDL_EXECUTABLE} --win64 -t -I ${COM_IDL_DIR} -L ${VORN_GEN} -o
          ${VORN_GEN}/VornNetwork.tlb ${VORN_DIR}/VornNetwork.idl
  DEPENDS ${VORN_DIR}/VornNetwork.idl ${COM_BASE_IDLS} ${COM_IDL_DIR}/stdole2.idl
  COMMENT "Generating VornNetwork.h, VornNetwork_i.c and VornNetwork.tlb"
  VERBATIM)
set_source_files_properties(${VORN_DIR}/VornNetwork.rc PROPERTIES
  OBJECT_DEPENDS "${VORN_GEN}/VornNetwork.tlb;${VORN_DIR}/VornLANNetwork.rgs")
add_library(VornNetwork SHARED
  ${VORN_DIR}/VornNetwork.cpp
  ${VORN_DIR}/classfactory.cpp
  ${VORN_DIR}/lobbyserver.cpp
  ${VORN_DIR}/module.cpp
  ${VORN_DIR}/module_windows.cpp
  ${VORN_DIR}/netmessage.cpp
  ${VORN_DIR}/vornlannetwork.cpp
  ${VORN_DIR}/vornmessages.cpp
  ${VORN_DIR}/vornsession.cpp
  ${VORN_GEN}/VornNetwork_i.c
  ${VORN_GEN}/VornNetwork.h
  ${VORN_DIR}/VornNetwork.rc
  ${VORN_DIR}/VornNetwork.def)
target_include_directories(VornNetwork PRIVATE ${VORN_DIR} ${VORN_GEN})
target_link_libraries(VornNetwork PRIVATE registrar ole32 oleaut32 uuid dxguid user32)
set_target_properties(VornNetwork PROPERTIES PREFIX "")

# Sonvar.dll: the filter graph is the system's; the renderer it asks for by class is the
# reference renderer, whose interface header is reached alone like the registrar's.
set(RENDERER_INCLUDE_DIR ${PROJECT_BINARY_DIR}/renderer/include)
configure_file(${PROJECT_SOURCE_DIR}/platform/directshow/include/directshow/renderer.h
               ${RENDERER_INCLUDE_DIR}/directshow/renderer.h COPYONLY)
set(SONVAR_DIR ${PROJECT_SOURCE_DIR}/sonvar)
add_library(Sonvar SHARED
  ${SONVAR_DIR}/src/player.cpp
  ${SONVAR_DIR}/src/sonvar.cpp
  ${SONVAR_DIR}/src/sonvar_windows.cpp
  ${SONVAR_DIR}/sonvar.def)
target_include_directories(Sonvar PRIVATE ${SONVAR_DIR}/include ${SONVAR_DIR}/src
                                          ${RENDERER_INCLUDE_DIR})
target_compile_definitions(Sonvar PRIVATE SONVAR_BUILDING)
target_link_libraries(Sonvar PRIVATE ole32 oleaut32 uuid strmiids user32)
set_target_properties(Sonvar PROPERTIES PREFIX "")

# The smoke test's programs, run under Wine by scripts/wine-smoke.sh.
set(WINDOWS_TESTS_DIR ${PROJECT_SOURCE_DIR}/tests/windows)
# Unloading Sonvar.dll while players start.
add_executable(sonvar_unload ${WINDOWS_TESTS_DIR}/sonvar_unload.cpp)
# Declares ISonvar_object without importing it: the programs reach it by GetProcAddress.
target_compile_definitions(sonvar_unload PRIVATE SONVAR_BUILDING)
target_include_directories(sonvar_unload PRIVATE ${SONVAR_DIR}/include)

# The renderer that the Sonvar smoke test registers under the reference renderer's class.
add_library(sonvar_test_renderer SHARED ${WINDOWS_TESTS_DIR}/test_renderer.cpp
                                        ${WINDOWS_TESTS_DIR}/test_renderer.def)
target_include_directories(sonvar_test_renderer PRIVATE ${RENDERER_INCLUDE_DIR})
target_link_libraries(sonvar_test_renderer PRIVATE ole32 uuid strmiids)
set_target_properties(sonvar_test_renderer PROPERTIES PREFIX "")

add_executable(sonvar_smoke ${WINDOWS_TESTS_DIR}/sonvar_smoke.cpp)
target_compile_definitions(sonvar_smoke PRIVATE SONVAR_BUILDING)
target_include_directories(sonvar_smoke PRIVATE ${SONVAR_DIR}/include ${RENDERER_INCLUDE_DIR})
target_link_libraries(sonvar_smoke PRIVATE advapi32 user32)

add_executable(vornnetwork_smoke ${WINDOWS_TESTS_DIR}/vornnetwork_smoke.cpp
                                 ${VORN_GEN}/VornNetwork_i.c)
target_include_directories(vornnetwork_smoke PRIVATE ${VORN_GEN})
target_link_libraries(vornnetwork_smoke PRIVATE ole32 oleaut32 uuid advapi32)
