# The Windows build: kelv.exe and the test programs, cross-built with
# cmake/mingw-w64.cmake against the static libraries of
# scripts/windows-deps.sh, and run under Wine by the tests.

add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN UNICODE _UNICODE)
# Version resources and icons (packaging/windows) are compiled by windres.
enable_language(RC)
# GCC 12 warns falsely about overlapping copies in inlined std::string code
# (GCC bug 105329), here where Linux's build happens not to inline it.
add_compile_options(-Wno-restrict)
# It also takes the inactive members of a moved std::variant (host::Variant)
# for uninitialized reads once it inlines the move (GCC bug 80635).
add_compile_options(-Wno-maybe-uninitialized)

# Static libraries declare their functions without dllimport only when told.
set_property(TARGET EXPAT::EXPAT APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS XML_STATIC)
set_property(TARGET PkgConfig::LIBZIP APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS ZIP_STATIC)
find_package(ZLIB REQUIRED)
set_property(TARGET PkgConfig::LIBZIP APPEND PROPERTY INTERFACE_LINK_LIBRARIES ZLIB::ZLIB bcrypt
                                                                                advapi32)
# ICU's data (the Chinese collation) is a library of its own when static.
foreach(icu ICU::uc ICU::i18n)
  set_property(TARGET ${icu} APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS U_STATIC_IMPLEMENTATION)
endforeach()
set_property(TARGET ICU::i18n APPEND PROPERTY INTERFACE_LINK_LIBRARIES ICU::uc)
set_property(TARGET ICU::uc APPEND PROPERTY INTERFACE_LINK_LIBRARIES ICU::data)

# Test programs and kelv.exe run under Wine, each test in the build folder's
# own prefix. Test lists are read when the tests run, so building needs no
# Wine.
set(KELV_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh ${KELV_WINE_PREFIX})
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# What the release and the setup program are made of and where they go
# (packaging/windows makes them; tests/windows installs the setup program).
set(KELV_RELEASE_FOLDER ${CMAKE_BINARY_DIR}/kelv-windows-x64)
set(KELV_ICON ${CMAKE_BINARY_DIR}/packaging/windows/kelv.ico)
set(KELV_NSIS_SCRIPT ${PROJECT_SOURCE_DIR}/packaging/windows/kelv.nsi)
set(KELV_SETUP ${CMAKE_BINARY_DIR}/kelv-setup-${PROJECT_VERSION}.exe)
find_program(KELV_MAKENSIS makensis)
