# The Windows package a user downloads, made in the 64-bit tree, which
# builds both architectures' shipped files (cmake/Shipped.cmake):
#   windows_package   build/win64/package/lptlcd-<version>-windows.zip: the
#                     32-bit lptlcd.exe and DLL, and the 64-bit DLL, each
#                     DLL under every name its programs load
# and, for the tests, its x86_64 twin (...-windows-x86_64-twin.zip), laid out
# the same but made of x86_64 files only, so that Wine here can run it.
set(LPTLCD_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package)
set(LPTLCD_PACKAGE_ZIP ${LPTLCD_PACKAGE_DIR}/lptlcd-${PROJECT_VERSION}-windows.zip)
set(LPTLCD_TWIN_PACKAGE_ZIP ${LPTLCD_PACKAGE_DIR}/lptlcd-${PROJECT_VERSION}-windows-x86_64-twin.zip)

function(lptlcd_package zip stage exe dll32 dll64 depends)
  string(REPLACE ";" "," names32 "${LPTLCD_PORTIO_NAMES_i686}")
  string(REPLACE ";" "," names64 "${LPTLCD_PORTIO_NAMES_x86_64}")
  add_custom_command(OUTPUT ${zip}
    COMMAND ${CMAKE_COMMAND} -DOUT=${zip} -DSTAGE=${stage} -DEXE=${exe} -DDLL32=${dll32}
            -DDLL64=${dll64} -DNAMES32=${names32} -DNAMES64=${names64}
            -DREADME=${CMAKE_SOURCE_DIR}/README.md
            -DVERSION=${PROJECT_VERSION} -P ${CMAKE_SOURCE_DIR}/cmake/MakePackage.cmake
    DEPENDS ${exe} ${dll32} ${dll64} ${depends} ${CMAKE_SOURCE_DIR}/README.md
            ${CMAKE_SOURCE_DIR}/cmake/MakePackage.cmake
    COMMENT "Windows package ${zip}" VERBATIM)
endfunction()

set(i686 ${LPTLCD_SHIPPED_i686_DIR})
set(x86_64 ${LPTLCD_SHIPPED_x86_64_DIR})
lptlcd_package(${LPTLCD_PACKAGE_ZIP} ${LPTLCD_PACKAGE_DIR}/stage
  ${i686}/capture/lptlcd.exe ${i686}/portio/bin/inpout32.dll ${x86_64}/portio/bin/inpout32.dll
  "shipped_i686;shipped_x86_64")
lptlcd_package(${LPTLCD_TWIN_PACKAGE_ZIP} ${LPTLCD_PACKAGE_DIR}/twin-stage
  ${x86_64}/capture/lptlcd.exe ${x86_64}/portio/bin/inpout32.dll ${x86_64}/portio/bin/inpout32.dll
  shipped_x86_64)
add_custom_target(windows_package ALL DEPENDS ${LPTLCD_PACKAGE_ZIP} ${LPTLCD_TWIN_PACKAGE_ZIP})
