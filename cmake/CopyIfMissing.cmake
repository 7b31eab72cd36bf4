# cmake -DFROM=<file> -DTO=<file> -P CopyIfMissing.cmake
# Puts a shipped file in place once; a file already there (perhaps changed by the program) is kept.
if(EXISTS "${TO}")
  message(STATUS "${TO} exists, kept")
else()
  configure_file("${FROM}" "${TO}" COPYONLY)
endif()
