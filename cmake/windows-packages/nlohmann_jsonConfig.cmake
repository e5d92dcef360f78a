# nlohmann/json (header-only) for the Windows test build: its headers only, staged apart from
# the build machine's /usr/include, which must never reach the cross compiler.
if(NOT TARGET nlohmann_json::nlohmann_json)
  set(staged ${CMAKE_BINARY_DIR}/nlohmann_include)
  file(MAKE_DIRECTORY ${staged})
  file(CREATE_LINK /usr/include/nlohmann ${staged}/nlohmann SYMBOLIC)
  add_library(nlohmann_json_headers INTERFACE)
  target_include_directories(nlohmann_json_headers SYSTEM INTERFACE ${staged})
  add_library(nlohmann_json::nlohmann_json ALIAS nlohmann_json_headers)
endif()
set(nlohmann_json_FOUND TRUE)
