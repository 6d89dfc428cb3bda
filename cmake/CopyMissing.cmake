# Copies every file under SOURCE to DESTINATION unless it already exists there.
file(GLOB_RECURSE files RELATIVE ${SOURCE} ${SOURCE}/*)
foreach(file IN LISTS files)
  if(NOT EXISTS ${DESTINATION}/${file})
    get_filename_component(folder ${DESTINATION}/${file} DIRECTORY)
    file(COPY ${SOURCE}/${file} DESTINATION ${folder})
  endif()
endforeach()
