# The product's version and the maker's addresses, each set once here and
# changeable when configuring (cmake --preset win64 -B build/v2
# -DPK_VERSION=5.4.2.0): every version record, the about box, `pixelkite
# --version`, the installer and the .deb take them from here.
set(PK_VERSION "5.4.0.0" CACHE STRING "Product version: one to four dotted numbers, 0 to 65535 each")
set(PK_PUBLISHER "Pixelkite" CACHE STRING "The maker's name (installer, packages)")
set(PK_MAKER_EMAIL "support@pixelkite.example" CACHE STRING "The maker's e-mail address (about box, packages)")
set(PK_MAKER_WEB_SITE "https://www.pixelkite.example" CACHE STRING
    "The maker's web site, https and no path (about box, update location, installer)")

# pk_normalize_version(<text> <out>): <out> = the version with four parts.
function(pk_normalize_version text out)
  if(NOT text MATCHES "^[0-9]+(\\.[0-9]+)?(\\.[0-9]+)?(\\.[0-9]+)?$")
    message(FATAL_ERROR "version '${text}': one to four dotted numbers, such as 5.4.2.0")
  endif()
  string(REPLACE "." ";" parts "${text}")
  set(normalized "")
  foreach(i RANGE 0 3)
    list(LENGTH parts count)
    set(part 0)
    if(i LESS count)
      list(GET parts ${i} part)
      math(EXPR part "${part}")  # no leading zeros
    endif()
    if(part GREATER 65535)
      message(FATAL_ERROR "version '${text}': each number is at most 65535")
    endif()
    list(APPEND normalized ${part})
  endforeach()
  string(REPLACE ";" "." normalized "${normalized}")
  set(${out} "${normalized}" PARENT_SCOPE)
endfunction()

pk_normalize_version("${PK_VERSION}" PK_VERSION_FULL)
# These land in string literals of C, resource and installer scripts.
if(NOT PK_MAKER_WEB_SITE MATCHES "^https://[A-Za-z0-9.-]+(:[0-9]+)?$")
  message(FATAL_ERROR "PK_MAKER_WEB_SITE '${PK_MAKER_WEB_SITE}': https://host, without a path or a trailing /")
endif()
if(NOT PK_MAKER_EMAIL MATCHES "^[A-Za-z0-9._+-]+@[A-Za-z0-9.-]+$")
  message(FATAL_ERROR "PK_MAKER_EMAIL '${PK_MAKER_EMAIL}' is not a plain e-mail address")
endif()
if(NOT PK_PUBLISHER MATCHES "^[^\"$\\\\]+$")
  message(FATAL_ERROR "PK_PUBLISHER may not hold quotes, \$ or backslashes")
endif()

# pk_version_include_dir(<version> <out>): <out> = a folder holding
# pk_version.h for that version (made on first use).
function(pk_version_include_dir version out)
  pk_normalize_version("${version}" full)
  string(REPLACE "." ";" parts "${full}")
  list(GET parts 0 PK_V_MAJOR)
  list(GET parts 1 PK_V_MINOR)
  list(GET parts 2 PK_V_PATCH)
  list(GET parts 3 PK_V_TWEAK)
  set(PK_V_TEXT "${full}")
  set(dir ${CMAKE_BINARY_DIR}/generated/version-${full})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/pk_version.h.in ${dir}/pk_version.h @ONLY)
  set(${out} ${dir} PARENT_SCOPE)
endfunction()
