# Lists the files in DIR with their sizes: cmake -DDIR=<dir> -P list_directory.cmake
file(GLOB entries LIST_DIRECTORIES false RELATIVE ${DIR} ${DIR}/*)
list(SORT entries)
message("Extracted into ${DIR}:")
foreach(name IN LISTS entries)
  file(SIZE ${DIR}/${name} size)
  message("  ${name}  ${size} bytes")
endforeach()
