# The Debian package, made by CPack from the install rules: `scripts/package`.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tradory)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Tradory developers <maintainers@users.noreply.c-seed-1b6fdaab.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "store window of the Vellora X game launcher")
# CPack puts the summary first and indents these lines itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tradory opens a frameless window per game package that hosts an embedded
Chromium browser (Qt WebEngine) under a custom title bar: the web shop,
cloud-game pages and sign-in pages. The launcher starts it with the name of
a request file; one primary instance serves every request and reports window
and page events back to the launcher over local sockets.

The package also holds vellora-launcher, a small tool that plays the
launcher's side for trying the program out.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, never linked: the platform plugins come with Qt GUI
# (X11) and qtwayland5 (Wayland); pages need a font; the context menu speaks
# the user's language with Qt's own catalogues.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core | fonts-liberation2 | fonts-freefont-ttf")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qtwayland5, qttranslations5-l10n")
# Files are root-owned with sane modes, whoever builds the package.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
