# Puts the demo settings file for the sandbox beside the programs, unless a
# settings file is already there: a user's own settings are never replaced.
if(NOT EXISTS "${DEST}")
  get_filename_component(folder "${DEST}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  file(COPY "${SRC}" DESTINATION "${folder}"
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE)
  message(STATUS "Demo settings for the sandbox: ${DEST}")
endif()
