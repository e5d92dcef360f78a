# How the agents are built on macOS: universal binaries with one minimum system per slice,
# an embedded Info.plist, and availability checks that make an unguarded use of an API newer
# than a slice's minimum a compile error.
#
#   quen_macos_executable(<target> <Info.plist template>)
#
# turns an agent executable into such a binary. Its link closure (every static library it
# links, directly or not) is built for the same architectures with the same minimums, so the
# slices match from the first object to the executable. Libraries that the tests share are
# then universal archives, from which a single-architecture test links its own slice.
#
# The slices are built in one build: clang compiles and links each architecture with its
# own minimum (-Xarch_<arch> -mmacosx-version-min=...) and joins the results with lipo. A
# single CMAKE_OSX_DEPLOYMENT_TARGET cannot say this: arm64 needs 11.0, x86_64 goes down to
# 10.10.

include_guard(GLOBAL)

# The minimum system of each slice, in `out`; empty for an architecture the agents lack.
function(_quen_macos_minimum architecture out)
  set(minimum "")
  if(architecture STREQUAL "arm64")
    set(minimum 11.0)
  elseif(architecture STREQUAL "x86_64")
    set(minimum 10.10)
  endif()
  set(${out} "${minimum}" PARENT_SCOPE)
endfunction()

set(QUEN_MACOS_ARCHITECTURES "arm64;x86_64" CACHE STRING
    "Architectures of the agents' binaries: arm64, x86_64, or both for a universal binary")

# The agents' bundle identifiers are <prefix>.FocusTrail and <prefix>.InputTrail; an
# application that embeds them usually puts its own identifier here.
set(QUEN_MACOS_BUNDLE_IDENTIFIER_PREFIX "local.quen" CACHE STRING
    "Prefix of the agents' bundle identifiers (reverse DNS)")

foreach(architecture IN LISTS QUEN_MACOS_ARCHITECTURES)
  _quen_macos_minimum("${architecture}" minimum)
  if(minimum STREQUAL "")
    message(FATAL_ERROR "QUEN_MACOS_ARCHITECTURES: '${architecture}' is not arm64 or x86_64")
  endif()
endforeach()

# Per-slice minimums as compile and link options. clang applies an -Xarch_ option only to
# the slice it names, and warns that it is unused when that slice is not being built, so
# a single-architecture build gets the plain option.
function(_quen_macos_minimum_options out)
  list(LENGTH QUEN_MACOS_ARCHITECTURES count)
  set(options "")
  foreach(architecture IN LISTS QUEN_MACOS_ARCHITECTURES)
    _quen_macos_minimum(${architecture} minimum)
    if(count GREATER 1)
      list(APPEND options "SHELL:-Xarch_${architecture} -mmacosx-version-min=${minimum}")
    else()
      list(APPEND options "-mmacosx-version-min=${minimum}")
    endif()
  endforeach()
  set(${out} "${options}" PARENT_SCOPE)
endfunction()

# Builds one target for the agents' slices.
function(_quen_macos_build_slices target)
  get_target_property(done ${target} QUEN_MACOS_SLICES)
  if(done)
    return()
  endif()
  set_target_properties(${target} PROPERTIES
    OSX_ARCHITECTURES "${QUEN_MACOS_ARCHITECTURES}"
    QUEN_MACOS_SLICES ON)
  if(CMAKE_GENERATOR STREQUAL "Xcode")
    # Xcode compiles each architecture on its own, with a per-architecture setting.
    foreach(architecture IN LISTS QUEN_MACOS_ARCHITECTURES)
      _quen_macos_minimum(${architecture} minimum)
      set_property(TARGET ${target} PROPERTY
        "XCODE_ATTRIBUTE_MACOSX_DEPLOYMENT_TARGET[arch=${architecture}]" "${minimum}")
    endforeach()
  else()
    _quen_macos_minimum_options(minimum_options)
    target_compile_options(${target} PRIVATE ${minimum_options})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_link_options(${target} PRIVATE ${minimum_options})
    endif()
  endif()
  # "-new" covers APIs introduced in 10.13 and later; the plain group the older ones
  # (block-based NSTimer, 10.12), which matter to the x86_64 slice.
  target_compile_options(${target} PRIVATE
    -Werror=unguarded-availability -Werror=unguarded-availability-new)
endfunction()

# The project's targets that `target` links, directly or through other targets.
function(_quen_macos_link_closure target out)
  set(pending ${target})
  set(closure "")
  while(pending)
    list(POP_FRONT pending current)
    if(current IN_LIST closure)
      continue()
    endif()
    list(APPEND closure ${current})
    get_target_property(type ${current} TYPE)
    set(properties INTERFACE_LINK_LIBRARIES)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      list(APPEND properties LINK_LIBRARIES)
    endif()
    foreach(property IN LISTS properties)
      get_target_property(items ${current} ${property})
      foreach(item IN LISTS items)
        # A private dependency of a static library appears as $<LINK_ONLY:name>.
        string(REGEX REPLACE "^\\$<LINK_ONLY:([^>]*)>$" "\\1" item "${item}")
        if(NOT TARGET "${item}")
          continue()  # a framework, a system library, or another directory's marker
        endif()
        get_target_property(aliased "${item}" ALIASED_TARGET)
        if(aliased)
          set(item ${aliased})
        endif()
        get_target_property(imported "${item}" IMPORTED)
        if(NOT imported)
          list(APPEND pending ${item})
        endif()
      endforeach()
    endforeach()
  endwhile()
  set(${out} "${closure}" PARENT_SCOPE)
endfunction()

# Runs once the whole project is read, so that every link of the executable is known.
function(_quen_macos_build_closure_slices target)
  _quen_macos_link_closure(${target} closure)
  foreach(member IN LISTS closure)
    get_target_property(type ${member} TYPE)
    if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|OBJECT_LIBRARY)$")
      _quen_macos_build_slices(${member})
    endif()
  endforeach()
endfunction()

function(quen_macos_executable target info_plist)
  if(NOT APPLE)
    return()
  endif()
  # A command-line tool carries its Info.plist in the __TEXT,__info_plist section
  # (Apple's Code Signing Guide, "Adding an Info.plist to Single-File Tools"): the system
  # reads its bundle identifier and its usage descriptions from there. It is embedded at
  # link time, before the binary is signed.
  get_filename_component(template "${info_plist}" ABSOLUTE)
  set(embedded "${CMAKE_CURRENT_BINARY_DIR}/${target}-Info.plist")
  configure_file("${template}" "${embedded}" @ONLY)
  target_link_options(${target} PRIVATE
    "LINKER:-sectcreate,__TEXT,__info_plist,${embedded}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${embedded}")
  cmake_language(EVAL CODE
    "cmake_language(DEFER DIRECTORY [[${CMAKE_SOURCE_DIR}]]
       CALL _quen_macos_build_closure_slices [[${target}]])")
endfunction()
