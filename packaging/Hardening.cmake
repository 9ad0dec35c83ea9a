# SPDX-License-Identifier: GPL-3.0-or-later
# The hardening Debian gives its packages (dpkg-buildflags with
# hardening=+all): stack protector, fortified libc functions, read-only
# relocations bound at start (relro, bindnow) and position-independent
# programs, for a build from source as much as for the packages.
# scripts/make-packages also hands dpkg-buildflags' own flags through, so
# that a newer Debian's choices (and DEB_BUILD_OPTIONS) reach the packages.
#
# Fortified functions need the optimiser: a Debug build gets the rest only
# (glibc warns, and with QUILLON_WERROR fails, when asked without -O). The
# sanitizer build gets none: AddressSanitizer checks what they check, and
# fortified functions hide calls from it.
option(QUILLON_HARDENING "Build with Debian's hardening flags (stack protector, fortify, relro, bindnow, PIE)" ON)
if(NOT QUILLON_HARDENING OR QUILLON_SANITIZE)
  return()
endif()

include(CheckPIESupported)
check_pie_supported()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
# Flags from dpkg-buildflags may already choose the level (3 on newer Debian);
# some compilers define it by themselves, hence -U first.
if(NOT CMAKE_CXX_FLAGS MATCHES "_FORTIFY_SOURCE")
  set(quillon_optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
  add_compile_options("$<${quillon_optimised}:-U_FORTIFY_SOURCE>" "$<${quillon_optimised}:-D_FORTIFY_SOURCE=2>")
endif()
add_link_options(LINKER:-z,relro LINKER:-z,now)
