# Run by cpack once the packages are made (CPACK_POST_BUILD_SCRIPTS): finishes the -dbgsym
# package as Debian's own are.
# - CPack writes its md5sums with the absolute paths of its staging folder, so dpkg (debsums,
#   dpkg --verify) would check files that are never installed: the sums are made again here
#   over the package's own paths.
# - Its documentation is the main package's, by a link to that folder (the -dbgsym package
#   depends on that exact version), as debhelper links it.
# - The .debug files are data, not programs: 0644.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(NOT package MATCHES "-dbgsym_[^/]*\\.ddeb$")
        continue()
    endif()
    set(root ${CPACK_TOPLEVEL_DIRECTORY}/dbgsym-root)
    file(REMOVE_RECURSE ${root})
    execute_process(COMMAND dpkg-deb --raw-extract ${package} ${root} COMMAND_ERROR_IS_FATAL ANY)

    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${root} ${root}/usr/*)
    list(SORT files)
    set(sums "")
    foreach(file IN LISTS files)
        file(CHMOD ${root}/${file} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
        file(MD5 ${root}/${file} sum)
        string(APPEND sums "${sum}  ${file}\n")
    endforeach()
    file(WRITE ${root}/DEBIAN/md5sums "${sums}")

    file(MAKE_DIRECTORY ${root}/usr/share/doc)
    file(CREATE_LINK ${CPACK_PACKAGE_NAME} ${root}/usr/share/doc/${CPACK_PACKAGE_NAME}-dbgsym
         SYMBOLIC)
    execute_process(COMMAND dpkg-deb --root-owner-group --build ${root} ${package}
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE ${root})
endforeach()
