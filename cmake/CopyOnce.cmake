# cmake -DSRC=<file> -DDST=<file> -P CopyOnce.cmake: copies SRC to DST unless DST exists, so that
# a shipped file the user has changed is never replaced by a rebuild.
if(NOT EXISTS "${DST}")
  configure_file("${SRC}" "${DST}" COPYONLY)
endif()
