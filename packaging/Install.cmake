# Installation and the Debian package of 声韵笺. Included from the top-level
# CMakeLists.txt, so targets defined here are top-level targets.
#
#   cmake --install <build> [--prefix DIR]   program, menu entry, icons, AppStream data,
#                                            the licences of the reading tables' data
#   cpack -G DEB   (in <build>)              shengyunjian_<version>_<arch>.deb
#
# The slow check that installs the .deb into a fresh Debian root and starts it is
# packaging/check-deb.sh; it is not part of the CTest run.

include(GNUInstallDirs)

# One name for the desktop entry, the icon and the AppStream component.
set(SYJ_APP_ID io.github.shengyunjian.shengyunjian)
set(SYJ_ICON_SIZES 16 24 32 48 64 128 256)
set(SYJ_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})

install(TARGETS shengyunjian RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${SYJ_PACKAGING_DIR}/${SYJ_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${SYJ_PACKAGING_DIR}/${SYJ_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The reading tables compiled into the program are converted from Unihan (Unicode
# licence) and rime-cantonese (CC BY 4.0), with simplified forms from OpenCC
# (Apache 2.0) and the reading order from rime-pinyin-simp (Apache 2.0): their
# notices go with the program, in share/doc/shengyunjian.
set(SYJ_DATA_LICENSES
  ${PROJECT_SOURCE_DIR}/aids/data/LICENSES/Unicode-Unihan.txt
  ${PROJECT_SOURCE_DIR}/aids/data/LICENSES/Cantonese-jyut6ping3.txt
  ${PROJECT_SOURCE_DIR}/aids/data/LICENSES/CC-BY-4.0.txt
  ${PROJECT_SOURCE_DIR}/aids/data/LICENSES/OpenCC-Apache-2.0.txt
  ${PROJECT_SOURCE_DIR}/aids/data/LICENSES/PinyinSimp-Apache-2.0.txt
  ${PROJECT_SOURCE_DIR}/aids/data/LICENSES/CMU-festlex.txt)
install(FILES ${SYJ_DATA_LICENSES} DESTINATION ${CMAKE_INSTALL_DOCDIR})

# --- Icons: the hicolor PNGs are made at build time from resources/icon.ico by a
# small Qt tool, with the same .ico decoder the program uses for its window icon;
# the build needs no image tool beyond Qt.
add_executable(syj_make_icons ${SYJ_PACKAGING_DIR}/make-icons.cpp)
target_link_libraries(syj_make_icons PRIVATE Qt6::Gui)

set(syj_icon_root ${PROJECT_BINARY_DIR}/packaging/icons/hicolor)
set(syj_icon_files)
foreach(size ${SYJ_ICON_SIZES})
  list(APPEND syj_icon_files ${syj_icon_root}/${size}x${size}/apps/${SYJ_APP_ID}.png)
endforeach()
add_custom_command(
  OUTPUT ${syj_icon_files}
  # A sanitizer build of the tool must not fail the build over Qt's start-up caches.
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
          $<TARGET_FILE:syj_make_icons> ${PROJECT_SOURCE_DIR}/resources/icon.ico
          ${syj_icon_root} ${SYJ_APP_ID} ${SYJ_ICON_SIZES}
  DEPENDS syj_make_icons ${PROJECT_SOURCE_DIR}/resources/icon.ico
  COMMENT "Making the hicolor icons from resources/icon.ico"
  VERBATIM)
add_custom_target(syj_icons ALL DEPENDS ${syj_icon_files})
# Building only the program still leaves an installable tree.
add_dependencies(shengyunjian syj_icons)
foreach(size ${SYJ_ICON_SIZES})
  install(FILES ${syj_icon_root}/${size}x${size}/apps/${SYJ_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# --- Debian package ---------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME shengyunjian)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "声韵笺")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "write new Chinese lyrics to an existing song")
set(CPACK_PACKAGE_DESCRIPTION
    "声韵笺 (Shengyunjian) is a notebook for writing new Chinese words to a song:
open the song's LRC lyrics, write a new line beside every sung line, play the
accompaniment or the original from any line, compare the syllable counts, and
save the new words as an LRC file that keeps the original time tags.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # shengyunjian_0.1.0_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(NOT CPACK_DEBIAN_PACKAGE_MAINTAINER)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Shengyunjian developers <maintainers@shengyunjian.invalid>")
endif()
# Libraries the program links come from dpkg-shlibdeps (with their minimum
# versions); without it, the Qt libraries are named by hand.
find_program(SYJ_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(SYJ_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(syj_library_depends)
else()
  set(syj_library_depends libqt6core6 libqt6gui6 libqt6widgets6 libgstreamer1.0-0 libuchardet0)
endif()
# What no linker sees: the X11/Wayland platform plugins, the GStreamer decoders
# the players use (WAV/OGG, MP3/FLAC, AAC/M4A/WMA), the Song and CJK UI faces,
# and Qt's own Chinese strings for standard dialogs.
set(syj_runtime_depends
  qt6-qpa-plugins
  gstreamer1.0-plugins-base
  gstreamer1.0-plugins-good
  gstreamer1.0-libav
  fonts-arphic-uming
  fonts-noto-cjk
  qt6-translations-l10n)
list(APPEND syj_library_depends ${syj_runtime_depends})
list(JOIN syj_library_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
include(CPack)

if(SYJ_TESTS)
  enable_testing()
  add_test(NAME install_validate
           COMMAND bash ${SYJ_PACKAGING_DIR}/check-install.sh ${PROJECT_BINARY_DIR}
                   ${SYJ_APP_ID} ${PROJECT_VERSION})
  set_tests_properties(install_validate PROPERTIES TIMEOUT 120)
endif()
