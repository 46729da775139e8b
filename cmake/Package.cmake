# The Debian package: `cpack -G DEB` in the build folder writes classifiers_VERSION-1_ARCH.deb.
# Configure with -DCMAKE_INSTALL_PREFIX=/usr so the pages that name installed paths say /usr.
# Its dependencies are computed by dpkg-shlibdeps (from dpkg-dev) from the installed programs.
set(CLASSIFIERS_MAINTAINER "Classifiers maintainers <maintainers@classifiers.invalid>" CACHE STRING
    "Maintainer named in the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME classifiers)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Classifiers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "desktop front end for an interval and a naive Bayesian classifier")
set(CPACK_PACKAGE_CONTACT ${CLASSIFIERS_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CLASSIFIERS_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The long description below the summary line; CPack indents its lines for the control file.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Classifiers learns to predict the class of a record from its attributes, tests
what it learned on records it has not seen and shows a plain-text report of
the model and its accuracy. Choose a data file (comma-separated records, with
an optional C4.5 names file), the percentage of records to train on and a
classifier, and press Run.
.
The two classifiers are also command-line programs: tarnel, the interval
classifier, and classify, the naive Bayesian classifier.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs a platform plugin, which the Qt libraries only recommend, and the fixed-width
# font its report view is sized for (80 columns at its design size).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "hicolor-icon-theme")

# Where the cluster programs are built, they go in a package of their own, classifiers-mpi,
# which depends on Open MPI; the desktop package (everything else) keeps its name and needs none.
if(TARGET classify-mpi)
    set(CPACK_DEB_COMPONENT_INSTALL ON)
    set(CPACK_COMPONENTS_ALL Unspecified mpi)
    set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME classifiers)
    set(CPACK_DEBIAN_UNSPECIFIED_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
    set(CPACK_DEBIAN_MPI_PACKAGE_NAME classifiers-mpi)
    set(CPACK_DEBIAN_MPI_PACKAGE_DEPENDS "openmpi-bin")
    set(CPACK_DEBIAN_MPI_PACKAGE_RECOMMENDS "")
    # Under the summary line all packages share (CPack gives components no summary of their own).
    set(CPACK_DEBIAN_MPI_DESCRIPTION
        "This package holds the two classifier programs for a cluster, with MPI:
tarnel-mpi and classify-mpi take the arguments of tarnel and classify and are
started by mpirun or srun; each process reads its share of the records, and
the first process writes the report, the model and the SQL, the same files as
the programs write on one machine.")
endif()

include(CPack)
