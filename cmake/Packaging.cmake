# The Debian package: `cpack -G DEB` in a release tree (scripts/package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane-table-desk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Quorvane)
set(CPACK_PACKAGE_CONTACT "Quorvane Table Desk developers <dev@quorvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "edit the rows of one database table through ODBC")
set(CPACK_PACKAGE_DESCRIPTION
    "Opens one table of a database that is reached through an ODBC data source
name and lets you edit its rows in a grid. Every change goes to the database
at once. SQLite and PostgreSQL work through their ODBC drivers.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.quorvane.example/)
# The libraries (libodbc2 among them) come from dpkg-shlibdeps; the driver
# manager's tools and configuration are needed to define a data source at
# all, the drivers only for the databases one uses.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "unixodbc-common, odbcinst")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsqliteodbc, odbc-postgresql")

include(CPack)
